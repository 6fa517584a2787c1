// The questions the control program asks before it does something that cannot be undone,
// and what each answer leads to; the windows only show them.
#pragma once

#include <string>

namespace zt {

// Leaving while an export is being written: Exit, the close box, or the end of the logon.
enum class QuitAnswer { kWait, kQuitAndDiscard };

struct QuitPlan {
  bool quit_now = false;              // the program may end at once
  bool stop_export = false;           // the export is stopped first, its temporary file removed
  bool quit_when_export_ends = false; // the program ends by itself once the file is complete
  bool refuse_end_session = false;    // WM_QUERYENDSESSION is answered FALSE
};

// `asked` is false when no export runs (nothing was asked; `answer` is then not read).
// Exit and the close box that wait end the program when the export has finished; a logoff
// cannot wait, so waiting refuses it.
QuitPlan PlanQuit(bool export_running, bool end_session, QuitAnswer answer);

// "An export to NAME is still being written. Wait for it to finish?" with NAME the output's
// file name (its last path component, either slash).
std::string ExportStillRunningText(const std::string& output_path);

// "Added timers" with an empty list would clear the logger's schedule: ask first.
bool AskBeforeEmptyUpload(bool added_timers_selected, int timer_count);
inline constexpr char kMsgEmptyUpload[] =
    "The list is empty: uploading it clears the logger's schedule. Continue?";

// Open Timers replaces a list that holds timers only after asking.
bool AskBeforeReplacingTimers(int timer_count);
std::string ReplaceTimersText(int timer_count, const std::string& path);

}  // namespace zt

#include "app/everyday_rules.h"

namespace zt {

QuitPlan PlanQuit(bool export_running, bool end_session, QuitAnswer answer) {
  QuitPlan plan;
  if (!export_running) {
    plan.quit_now = true;
  } else if (answer == QuitAnswer::kQuitAndDiscard) {
    plan.quit_now = true;
    plan.stop_export = true;
  } else if (end_session) {
    plan.refuse_end_session = true;
  } else {
    plan.quit_when_export_ends = true;
  }
  return plan;
}

std::string ExportStillRunningText(const std::string& output_path) {
  const size_t slash = output_path.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? output_path : output_path.substr(slash + 1);
  return "An export to " + name + " is still being written. Wait for it to finish?";
}

bool AskBeforeEmptyUpload(bool added_timers_selected, int timer_count) {
  return added_timers_selected && timer_count == 0;
}

bool AskBeforeReplacingTimers(int timer_count) { return timer_count > 0; }

std::string ReplaceTimersText(int timer_count, const std::string& path) {
  return "The list holds " + std::to_string(timer_count) +
         (timer_count == 1 ? " timer" : " timers") + ". Replace " +
         (timer_count == 1 ? "it" : "them") + " with the timers of " + path + "?";
}

}  // namespace zt

// What the control program remembers between runs: the last port, the viewer settings, the
// last folder of each file chooser and the window's place, kept as a small INI text. The
// text is never trusted: a damaged one gives nothing, a value out of range is left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zt {

// Viewer settings as the Viewer settings dialog stores them.
struct ViewerChoice {
  int32_t span_s = 0;
  float max_altitude_m = 0;
  float gamma = 0;
  int32_t palette = 0;  // 0 rainbow, 1 yellow
};

// The main window's restored rectangle in screen pixels, and whether it was maximised.
struct WindowPlace {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool maximized = false;
};

// The file choosers, each with a folder of its own.
enum class ChooserFolder { kShowData, kSaveTimers, kOpenTimers, kExport };
constexpr int kChooserFolderCount = 4;

struct ControlSettings {
  std::optional<uint32_t> port;           // the number of the last selected port
  std::optional<ViewerChoice> viewer;     // only once the dialog has stored them
  std::string folders[kChooserFolderCount];  // UTF-8; empty: none remembered
  std::optional<WindowPlace> window;
};

constexpr size_t kSettingsMaxBytes = 64 * 1024;
constexpr int kFolderMaxChars = 259;  // a folder the choosers' 260-character buffers can hold
constexpr int32_t kWindowMinWidth = 500, kWindowMinHeight = 700;  // at 96 dpi

// Reads the text of the file. A text that is not an INI text (a line that is neither blank,
// a comment, a [section] nor key=value; a NUL or other control byte; more than 64 KiB)
// counts as damaged and gives empty settings. Unknown sections and keys are skipped; a
// value outside its range is left out, and the viewer settings are taken only whole.
ControlSettings ParseControlSettings(std::string_view text);

// The text of the file, CR LF line ends; what is not set is not written.
std::string FormatControlSettings(const ControlSettings& settings);

// True for a viewer choice every field of which is one the dialog offers.
bool ValidViewerChoice(const ViewerChoice& v);
// True for a rectangle of at least the minimum size (scaled by dpi / 96) and no bigger
// than 16384 pixels a side, inside +-32000.
bool ValidWindowPlace(const WindowPlace& w, int dpi = 96);

}  // namespace zt

#include "app/control_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/echogram.h"

namespace zt {
namespace {

constexpr int32_t kPlaceLimit = 32000, kSideLimit = 16384;
constexpr uint32_t kPortMax = 65535;

const char* const kFolderKeys[kChooserFolderCount] = {"ShowData", "SaveTimers", "OpenTimers",
                                                      "Export"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A whole decimal integer within [low, high].
std::optional<int64_t> Integer(std::string_view s, int64_t low, int64_t high) {
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < low || v > high) return std::nullopt;
  return v;
}

std::optional<float> Float(std::string_view s) {
  if (s.empty() || s.size() > 16) return std::nullopt;
  const std::string text(s);
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return v;
}

struct Entry {
  std::string section, key;
  std::string_view value;
};

// The entries of an INI text; false when the text is damaged.
bool Entries(std::string_view text, std::vector<Entry>* out) {
  if (text.size() > kSettingsMaxBytes) return false;
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F) return false;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    const std::string_view line = Trim(text.substr(0, nl));
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return false;
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    out->push_back({section, Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1))});
  }
  return true;
}

bool ValidFolder(std::string_view s) {
  if (s.empty() || s.size() > static_cast<size_t>(kFolderMaxChars) * 3) return false;
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return false;
  size_t chars = 0;  // UTF-16 units, roughly: every byte that starts a character
  for (unsigned char c : s) chars += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
  return chars <= static_cast<size_t>(kFolderMaxChars);
}

void TakeViewer(const std::vector<Entry>& entries, ControlSettings* s) {
  std::optional<int64_t> span, palette;
  std::optional<float> altitude, gamma;
  for (const Entry& e : entries) {
    if (e.section != "viewer") continue;
    if (e.key == "span") span = Integer(e.value, 1, INT32_MAX);
    if (e.key == "maxaltitude") altitude = Float(e.value);
    if (e.key == "gamma") gamma = Float(e.value);
    if (e.key == "palette") {
      const std::string p = Lower(e.value);
      palette = p == "rainbow" ? std::optional<int64_t>(viewer::kRainbow)
                : p == "yellow" ? std::optional<int64_t>(viewer::kYellow)
                                : std::nullopt;
    }
  }
  if (!span || !palette || !altitude || !gamma) return;
  const ViewerChoice v{static_cast<int32_t>(*span), *altitude, *gamma,
                       static_cast<int32_t>(*palette)};
  if (ValidViewerChoice(v)) s->viewer = v;
}

void TakeWindow(const std::vector<Entry>& entries, ControlSettings* s) {
  std::optional<int64_t> v[5];
  const char* const keys[5] = {"left", "top", "right", "bottom", "maximized"};
  for (const Entry& e : entries)
    for (int i = 0; i < 5; ++i)
      if (e.section == "window" && e.key == keys[i])
        v[i] = Integer(e.value, i < 4 ? -kPlaceLimit : 0, i < 4 ? kPlaceLimit : 1);
  if (!v[0] || !v[1] || !v[2] || !v[3]) return;
  const WindowPlace w{static_cast<int32_t>(*v[0]), static_cast<int32_t>(*v[1]),
                      static_cast<int32_t>(*v[2]), static_cast<int32_t>(*v[3]),
                      v[4].value_or(0) == 1};
  if (ValidWindowPlace(w)) s->window = w;
}

std::string FloatText(float f) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

}  // namespace

bool ValidViewerChoice(const ViewerChoice& v) {
  return viewer::SpanIndexOf(v.span_s) >= 0 && viewer::AltitudeIndexOf(v.max_altitude_m) >= 0 &&
         viewer::GammaIndexOf(v.gamma) >= 0 &&
         (v.palette == viewer::kRainbow || v.palette == viewer::kYellow);
}

bool ValidWindowPlace(const WindowPlace& w, int dpi) {
  const int64_t width = int64_t{w.right} - w.left, height = int64_t{w.bottom} - w.top;
  const auto inside = [](int32_t c) { return c >= -kPlaceLimit && c <= kPlaceLimit; };
  return inside(w.left) && inside(w.top) && inside(w.right) && inside(w.bottom) &&
         width >= int64_t{kWindowMinWidth} * dpi / 96 &&
         height >= int64_t{kWindowMinHeight} * dpi / 96 && width <= kSideLimit &&
         height <= kSideLimit;
}

ControlSettings ParseControlSettings(std::string_view text) {
  ControlSettings s;
  std::vector<Entry> entries;
  if (!Entries(text, &entries)) return s;
  for (const Entry& e : entries) {
    if (e.section == "port" && e.key == "last") {
      if (auto n = Integer(e.value, 1, kPortMax)) s.port = static_cast<uint32_t>(*n);
    }
    if (e.section != "folders") continue;
    for (int i = 0; i < kChooserFolderCount; ++i)
      if (e.key == Lower(kFolderKeys[i]) && ValidFolder(e.value)) s.folders[i] = e.value;
  }
  TakeViewer(entries, &s);
  TakeWindow(entries, &s);
  return s;
}

std::string FormatControlSettings(const ControlSettings& s) {
  std::string t = "; zt615_control: what it remembers between runs\r\n";
  if (s.port) t += "[Port]\r\nLast=" + std::to_string(*s.port) + "\r\n";
  if (s.viewer) {
    const ViewerChoice& v = *s.viewer;
    t += "[Viewer]\r\nSpan=" + std::to_string(v.span_s) + "\r\nMaxAltitude=" +
         FloatText(v.max_altitude_m) + "\r\nGamma=" + FloatText(v.gamma) + "\r\nPalette=" +
         (v.palette == viewer::kYellow ? "Yellow" : "Rainbow") + "\r\n";
  }
  std::string folders;
  for (int i = 0; i < kChooserFolderCount; ++i)
    if (ValidFolder(s.folders[i])) folders += std::string(kFolderKeys[i]) + "=" + s.folders[i] + "\r\n";
  if (!folders.empty()) t += "[Folders]\r\n" + folders;
  if (s.window) {
    const WindowPlace& w = *s.window;
    t += "[Window]\r\nLeft=" + std::to_string(w.left) + "\r\nTop=" + std::to_string(w.top) +
         "\r\nRight=" + std::to_string(w.right) + "\r\nBottom=" + std::to_string(w.bottom) +
         "\r\nMaximized=" + (w.maximized ? "1" : "0") + "\r\n";
  }
  return t;
}

}  // namespace zt

// Progress on a terminal: whether stderr is one, and a one-line progress bar on it.
#pragma once

#include <cstdint>
#include <string>

namespace zt::cmdline {

bool StderrIsTerminal();

// A one-line progress bar on stderr (percent, MB/s, time left), redrawn at most ten times
// a second; silent when stderr is not a terminal or when disabled.
class ProgressBar {
 public:
  ProgressBar(std::string label, bool enabled);
  ~ProgressBar();
  void Update(uint64_t done, uint64_t total, uint64_t bytes);
  void Finish();

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  uint64_t start_ms_;
  uint64_t last_ms_ = 0;
};

}  // namespace zt::cmdline

// Two recordings made of the input, joined: the begin and end texts of each, the checks and
// the join, written in place or beside and renamed.
//
// Input: a flags byte (bit 0: write beside), File 1's length (16 bits, little-endian), then
// File 1 and File 2 back to back.
#include <cstdint>
#include <string>

#include "link/link.h"
#include "tests/fuzz/fuzz_util.h"

using namespace zt;

namespace {

// Reports nothing, on a clock that moves a second a call, so that every position is reported.
struct Progress : link::LinkProgress {
  void Range(uint32_t) override {}
  void Position(uint32_t, uint64_t done, uint64_t total) override {
    if (done > total) __builtin_trap();
  }
};
uint64_t now = 0;
uint64_t NowMs() { return now += 1000; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const fuzz::Scratch& scratch = fuzz::Scratch::Get();
  const size_t rest = size - 3;
  const size_t split = (data[1] | size_t{data[2]} << 8) % (rest + 1);
  const std::string file1 = scratch.Write("DATA0001.BIN", data + 3, split);
  const std::string file2 = scratch.Write("DATA0002.BIN", data + 3 + split, rest - split);
  link::ShowFileTimes(file1);
  link::ShowFileTimes(file2);

  Progress progress;
  link::LinkOptions options;
  options.progress = &progress;
  options.now_ms = NowMs;
  options.write_beside = data[0] & 1;
  link::LinkFiles(file1, file2, scratch.Path("LINKED.BIN"), options);
  scratch.Clear();
  return 0;
}

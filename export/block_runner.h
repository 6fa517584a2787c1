// The export engine's block runner: the pings of an export read, checked, detected and
// formatted by two workers taking alternate blocks, the blocks written in order, so that the
// output is byte for byte one worker's. Inside the export engine only.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "export/export_engine.h"
#include "logfile/logfile.h"
#include "platform/file.h"

namespace zt {

// How a run of the blocks ended.
struct BlocksRun {
  ExportStatus status = ExportStatus::kOk;
  std::string message;
  int code = 0;
  uint32_t pings_written = 0;
  uint32_t sound_speed_fallbacks = 0;
};

// Pings per block for a job: a few cache-sized chunks; for the text format no more than
// fill about one output write in the worst case.
uint32_t BlockPings(const EXPORTJOB& job, const LoggedFileInfo& info, int32_t n0);

// Exports pings 0 ... count - 1 of `in` (ping 0's sample count n0) to `out` in blocks of
// `block_pings`, with one thread of its own beside the caller's, joined before it returns.
// `stop`, when set by another thread, ends the run before its next block.
BlocksRun RunBlocks(const EXPORTJOB& job, const LoggedFileInfo& info, int32_t n0,
                    uint32_t block_pings, platform::File& in, platform::File& out,
                    ExportProgress& progress, const std::atomic<bool>* stop);

}  // namespace zt

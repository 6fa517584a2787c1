// The join's checks, made before anything is written: file headers, record sizes, ping
// counts, the seam between the files and File 2's sample counts. Inside the join only.
#pragma once

#include <cstdint>
#include <string>

#include "link/link.h"
#include "platform/file.h"

namespace zt::link {

LinkResult Refuse(LinkResult r, std::string why);
// An I/O failure with the system's text for `code` (0: `what` alone).
LinkResult IoFailure(LinkResult r, int code, const std::string& what);
const char* Name(int file);  // "File 1", "File 2"
std::string Num(uint64_t v);
// Why a record of File `file` cannot be joined: its sample_count is not the range's.
std::string SampleCountReason(int file, uint32_t i, const uint8_t* rec, int32_t samples);

// 1. Both file headers read and byte for byte identical (kept in `header`).
bool CheckHeaders(platform::File& file1, platform::File& file2, uint8_t (&header)[2][128],
                  LinkResult* r);
// 3. Record sizes known and equal, and both files holding pings (counts in *r).
bool CheckRecords(platform::File& file1, platform::File& file2, const uint8_t (&header)[2][128],
                  uint32_t* record_size, int32_t* samples, LinkResult* r);
// 4. The seam: File 2 begins at most MAX_SEAM_GAP_S after File 1 ends, not before.
bool CheckSeam(platform::File& file1, platform::File& file2, uint32_t record_size,
               LinkResult* r);
// File 2's sample counts, every one the range's (its footers are renumbered by them), read
// `per_block` records at a time into `buf`.
bool CheckSampleCounts(platform::File& f, uint32_t record_size, int32_t samples, uint32_t count,
                       uint8_t* buf, uint32_t per_block, LinkResult* r);

}  // namespace zt::link

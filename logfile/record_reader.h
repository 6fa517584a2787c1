// Sequential reading of ping records in large blocks: one read call brings in many records,
// so a 4 GB file costs a few thousand system calls, and memory stays at one block.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace zt {

class RecordReader {
 public:
  static constexpr size_t kBlockBytes = 1 << 20;

  // Reads pings first .. first + count - 1 of a file with the given record size.
  RecordReader(platform::File& file, uint32_t record_size, uint32_t first, uint32_t count);

  // The next whole record, or nullptr at the end or on a failed or short read (see ok()).
  const uint8_t* Next();
  // Index of the record last returned by Next().
  uint32_t index() const { return next_ - 1; }
  // False after a read error or when the file ended before `count` records.
  bool ok() const { return ok_; }
  int last_error() const { return last_error_; }
  bool short_file() const { return short_file_; }

 private:
  bool Fill();

  platform::File& file_;
  uint32_t record_size_;
  uint32_t next_;
  uint32_t end_;
  std::vector<uint8_t> block_;
  size_t block_records_ = 0;
  size_t used_ = 0;  // records of the block already returned
  size_t have_ = 0;  // records in the block
  bool ok_ = true;
  bool short_file_ = false;
  int last_error_ = 0;
};

}  // namespace zt

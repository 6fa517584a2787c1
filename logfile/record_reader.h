// Sequential reading of ping records in large blocks: one read call brings in many records,
// so a 4 GB file costs a few thousand system calls, and memory stays at two blocks. For long
// runs a second thread reads the next block while the caller works on the current one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file.h"

namespace zt {

class RecordReader {
 public:
  static constexpr size_t kBlockBytes = 1 << 20;

  // Work on a whole block right after it is read, on the reading thread when there is one:
  // (first record, number of records, block slot 0 or 1). It must only read the records.
  using BlockHook = std::function<void(const uint8_t*, size_t, int)>;

  // Reads pings first .. first + count - 1 of a file with the given record size. The file
  // must not be used by anyone else until the reader is destroyed.
  RecordReader(platform::File& file, uint32_t record_size, uint32_t first, uint32_t count,
               BlockHook hook = {});
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The next whole record, or nullptr at the end or on a failed or short read (see ok()).
  const uint8_t* Next();
  // The samples of a record returned by Next(), in place; little-endian hosts only.
  static const uint16_t* SamplesInPlace(const uint8_t* record) {
    return reinterpret_cast<const uint16_t*>(record + 64);
  }
  // Where the record last returned by Next() lies: its block slot and its place in it.
  int slot() const { return current_; }
  size_t index_in_block() const { return used_ - 1; }
  // Records per block at most.
  size_t block_records() const { return block_records_; }
  // False after a read error or when the file ended before `count` records.
  bool ok() const { return ok_; }
  int last_error() const { return last_error_; }
  bool short_file() const { return short_file_; }

 private:
  // Held as 16-bit words so that, on a little-endian host, a record's samples can be read in
  // place as uint16_t (records have even sizes, so every sample stays aligned).
  struct Block {
    std::vector<uint16_t> words;
    size_t records = 0;  // whole records in the block
    bool short_read = false;
    int error = 0;       // a failed read; the block holds nothing
    bool full = false;   // filled and not yet handed to the caller
  };

  void ReadBlock(uint32_t first, size_t want, Block* b);
  void Prefetch();
  bool TakeBlock();

  platform::File& file_;
  uint32_t record_size_;
  uint32_t next_;        // next record the caller gets
  uint32_t end_;
  size_t block_records_;
  BlockHook hook_;
  Block blocks_[2];
  int current_ = -1;     // block the caller reads from
  size_t used_ = 0;      // records of it already returned
  bool ok_ = true;
  bool short_file_ = false;
  int last_error_ = 0;

  // Read-ahead.
  bool threaded_ = false;
  std::thread thread_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false;
  int taken_ = 0;  // blocks handed to the caller so far
};

}  // namespace zt

#include "logfile/record_reader.h"

#include <algorithm>

#include "logfile/logfile.h"

namespace zt {

RecordReader::RecordReader(platform::File& file, uint32_t record_size, uint32_t first,
                           uint32_t count, BlockHook hook)
    : file_(file),
      record_size_(std::max<uint32_t>(record_size, 2)),
      next_(first),
      end_(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + count, UINT32_MAX))) {
  // No bigger than the pings there are to read: a short file or a small view costs no
  // megabytes of zeroed buffers.
  block_records_ = std::max<size_t>(
      1, std::min<size_t>(kBlockBytes / record_size_, static_cast<size_t>(end_ - next_)));
  hook_ = std::move(hook);
  for (Block& b : blocks_) b.words.resize(block_records_ * record_size_ / 2 + 1);
  // A thread pays off only when there is more than a few blocks to read.
  const uint64_t bytes = static_cast<uint64_t>(end_ - next_) * record_size_;
  if (bytes > 4 * kBlockBytes) {
    threaded_ = true;
    thread_ = std::thread(&RecordReader::Prefetch, this);
  }
}

RecordReader::~RecordReader() {
  if (threaded_) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
}

void RecordReader::ReadBlock(uint32_t first, size_t want, Block* b) {
  b->records = 0;
  b->short_read = false;
  b->error = 0;
  if (!file_.Seek(PingOffset(record_size_, first))) {
    b->error = file_.last_error();
    return;
  }
  int64_t got = file_.Read(b->words.data(), want * record_size_);
  if (got < 0) {
    b->error = file_.last_error();
    return;
  }
  b->records = static_cast<size_t>(got) / record_size_;
  b->short_read = b->records < want;
}

// Fills the blocks in turn, always one ahead of the caller, until the end, a short read or
// an error.
void RecordReader::Prefetch() {
  uint32_t pos = next_;
  for (int k = 0;; ++k) {
    Block& b = blocks_[k % 2];
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [&] { return stop_ || !b.full; });
      if (stop_) return;
    }
    const size_t want = std::min<size_t>(block_records_, end_ - pos);
    ReadBlock(pos, want, &b);
    if (hook_ && b.records > 0)
      hook_(reinterpret_cast<const uint8_t*>(b.words.data()), b.records, k % 2);
    pos += static_cast<uint32_t>(b.records);
    const bool last = b.error != 0 || b.short_read || pos >= end_;
    {
      std::lock_guard<std::mutex> lock(mu_);
      b.full = true;
    }
    cv_.notify_all();
    if (last) return;
  }
}

bool RecordReader::TakeBlock() {
  if (current_ >= 0) {
    const Block& prev = blocks_[current_];
    if (prev.error != 0 || prev.short_read) return false;  // nothing follows it
  }
  if (threaded_) {
    Block& b = blocks_[taken_ % 2];
    if (current_ >= 0) {
      std::lock_guard<std::mutex> lock(mu_);
      blocks_[current_].full = false;  // hand the finished block back for refilling
    }
    cv_.notify_all();
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return b.full; });
    current_ = taken_ % 2;
  } else {
    current_ = 0;
    ReadBlock(next_, std::min<size_t>(block_records_, end_ - next_), &blocks_[0]);
    if (hook_ && blocks_[0].records > 0)
      hook_(reinterpret_cast<const uint8_t*>(blocks_[0].words.data()), blocks_[0].records, 0);
  }
  ++taken_;
  used_ = 0;
  const Block& b = blocks_[current_];
  if (b.error != 0) last_error_ = b.error;
  if (b.short_read) short_file_ = true;
  return b.records > 0;
}

const uint8_t* RecordReader::Next() {
  if (!ok_ || next_ >= end_) return nullptr;
  if (current_ < 0 || used_ == blocks_[current_].records) {
    if (!TakeBlock()) {
      ok_ = false;
      return nullptr;
    }
  }
  const uint8_t* rec =
      reinterpret_cast<const uint8_t*>(blocks_[current_].words.data()) + used_ * record_size_;
  ++used_;
  ++next_;
  return rec;
}

}  // namespace zt

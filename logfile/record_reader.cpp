#include "logfile/record_reader.h"

#include <algorithm>

#include "logfile/logfile.h"

namespace zt {

RecordReader::RecordReader(platform::File& file, uint32_t record_size, uint32_t first,
                           uint32_t count)
    : file_(file),
      record_size_(record_size),
      next_(first),
      end_(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + count, UINT32_MAX))) {
  block_records_ = std::max<size_t>(1, kBlockBytes / std::max<uint32_t>(record_size, 1));
}

bool RecordReader::Fill() {
  size_t want = std::min<size_t>(block_records_, end_ - next_);
  if (block_.size() < want * record_size_) block_.resize(block_records_ * record_size_);
  if (!file_.Seek(PingOffset(record_size_, next_))) {
    ok_ = false;
    last_error_ = file_.last_error();
    return false;
  }
  int64_t got = file_.Read(block_.data(), want * record_size_);
  if (got < 0) {
    ok_ = false;
    last_error_ = file_.last_error();
    return false;
  }
  have_ = static_cast<size_t>(got) / record_size_;
  used_ = 0;
  if (have_ < want) short_file_ = true;
  if (have_ == 0) {
    ok_ = false;
    return false;
  }
  return true;
}

const uint8_t* RecordReader::Next() {
  if (!ok_ || next_ >= end_) return nullptr;
  if (used_ == have_) {
    if (short_file_ || !Fill()) {
      ok_ = false;
      return nullptr;
    }
  }
  const uint8_t* rec = block_.data() + used_ * record_size_;
  ++used_;
  ++next_;
  return rec;
}

}  // namespace zt

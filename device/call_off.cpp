#include "device/call_off.h"

#include <algorithm>

namespace zt {

CallOff::CallOff(platform::SerialPort* port, platform::Clock* clock)
    : inner_(port), time_(clock ? *clock : platform::SystemClock()) {}

void CallOff::Stop() {
  std::lock_guard<std::mutex> lock(write_mu_);
  stopped_ = true;
}

int CallOff::Port::Write(const void* data, size_t n) {
  std::lock_guard<std::mutex> lock(owner_.write_mu_);
  if (owner_.stopped_ || !owner_.inner_) return -1;
  return owner_.inner_->Write(data, n);
}

int CallOff::Port::Read(void* buf, size_t n) {
  if (owner_.stopped_ || !owner_.inner_) return 0;
  return owner_.inner_->Read(buf, n);
}

int CallOff::Port::LastError() const { return owner_.inner_ ? owner_.inner_->LastError() : 0; }

uint64_t CallOff::Ticks::NowMs() { return owner_.time_.NowMs(); }

void CallOff::Ticks::Sleep(unsigned ms) {
  while (ms > 0 && !owner_.stopped_) {
    const unsigned slice = std::min(ms, kSliceMs);
    owner_.time_.Sleep(slice);
    ms -= slice;
  }
}

}  // namespace zt

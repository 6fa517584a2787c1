// A device exchange that another thread can call off: a window closed while its exchange
// runs on a worker. The exchange writes through port() and waits on clock(); once Stop()
// has returned, no byte goes out on the line, no pause lasts more than a slice, and a reply
// is waited for no longer.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/serial_port.h"
#include "platform/time.h"

namespace zt {

class CallOff {
 public:
  // `port` and `clock` (the system's when null) outlive this object.
  explicit CallOff(platform::SerialPort* port, platform::Clock* clock = nullptr);
  CallOff(const CallOff&) = delete;
  CallOff& operator=(const CallOff&) = delete;

  platform::SerialPort* port() { return &port_; }
  platform::Clock* clock() { return &clock_; }
  // From any thread; waits for a write in progress to end, so that none starts after it.
  void Stop();
  bool stopped() const { return stopped_; }

  // Pauses are slept in slices of this length, the stop looked at between them.
  static constexpr unsigned kSliceMs = 20;

 private:
  class Port final : public platform::SerialPort {
   public:
    explicit Port(CallOff& owner) : owner_(owner) {}
    int Write(const void* data, size_t n) override;
    int Read(void* buf, size_t n) override;
    int LastError() const override;

   private:
    CallOff& owner_;
  };
  class Ticks final : public platform::Clock {
   public:
    explicit Ticks(CallOff& owner) : owner_(owner) {}
    uint64_t NowMs() override;
    void Sleep(unsigned ms) override;
    bool Stopped() override { return owner_.stopped_; }

   private:
    CallOff& owner_;
  };

  platform::SerialPort* inner_;
  platform::Clock& time_;
  std::mutex write_mu_;
  std::atomic<bool> stopped_{false};
  Port port_{*this};
  Ticks clock_{*this};
};

}  // namespace zt

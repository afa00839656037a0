// How fast a transfer goes now: the bytes of the last few seconds over the time they took,
// and what pages see of a download (done, total, speed, time left).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zeva {

class TransferRate {
 public:
  using Clock = std::chrono::steady_clock;

  // The window the speed is measured over.
  static constexpr std::chrono::milliseconds kWindow{3000};

  // Forgets everything: a new transfer starts.
  void Restart();
  // `bytes` counted so far (any starting value) at `now`.
  void Add(Clock::time_point now, uint64_t bytes);
  // Bytes per second over the window before `now`; 0 while nothing has been counted twice or
  // nothing has come for a whole window.
  double BytesPerSecond(Clock::time_point now) const;

 private:
  struct Sample {
    Clock::time_point time;
    uint64_t bytes;
  };
  // A sample at most every slot: the ring holds a little more than the window.
  static constexpr std::chrono::milliseconds kSlot{250};
  static constexpr size_t kSamples = 16;

  std::array<Sample, kSamples> m_samples{};
  size_t m_count = 0;  // samples held, the newest at m_newest
  size_t m_newest = 0;
  Sample m_latest{};  // the last count, sampled or not
  bool m_any = false;
};

// A download's figures as pages read them; −1 where nothing is known.
struct TransferFigures {
  double bytesDone = -1;
  double bytesTotal = -1;
  double bytesPerSecond = -1;
  double secondsLeft = -1;
};

}  // namespace zeva

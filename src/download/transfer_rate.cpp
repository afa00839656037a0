#include "download/transfer_rate.h"

namespace zeva {

void TransferRate::Restart() {
  m_count = 0;
  m_newest = 0;
  m_any = false;
}

void TransferRate::Add(Clock::time_point now, uint64_t bytes) {
  // Fewer bytes than before: the file started again.
  if (m_any && bytes < m_latest.bytes) Restart();
  m_latest = {now, bytes};
  m_any = true;
  if (m_count > 0 && now - m_samples[m_newest].time < kSlot) return;
  m_newest = m_count == 0 ? 0 : (m_newest + 1) % kSamples;
  m_samples[m_newest] = m_latest;
  if (m_count < kSamples) ++m_count;
}

double TransferRate::BytesPerSecond(Clock::time_point now) const {
  if (!m_any || now - m_latest.time >= kWindow) return 0;
  // From the last sample before the window (else the oldest held) to the last count.
  const size_t oldest = (m_newest + kSamples - (m_count - 1)) % kSamples;
  Sample base = m_samples[oldest];
  for (size_t k = 1; k < m_count; ++k) {
    const Sample& sample = m_samples[(oldest + k) % kSamples];
    if (now - sample.time < kWindow) break;
    base = sample;
  }
  const std::chrono::duration<double> elapsed = now - base.time;
  if (elapsed < kSlot) return 0;
  return static_cast<double>(m_latest.bytes - base.bytes) / elapsed.count();
}

}  // namespace zeva

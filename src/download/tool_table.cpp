#include "download/tool_table.h"

#include <algorithm>
#include <cmath>

namespace zeva {

std::atomic<int32_t>* ToolTable::Begin(int32_t a, int32_t b) {
  const std::lock_guard lock(m_mutex);
  const auto [it, added] = m_entries.try_emplace(MakeToolKey(a, b));
  ToolInfo& entry = it->second;
  if (added) {
    entry.firstId = a;
    entry.secondId = b;
  } else if (entry.state == kEventProgress) {
    return nullptr;
  }
  // Total size and last percent stay: a resumed download reports only a new percentage.
  entry.state = kEventProgress;
  entry.bytesOnDisk = 0;
  entry.pauseRequest = 0;
  entry.rate.Restart();
  return &entry.pauseRequest;
}

void ToolTable::Abandon(ToolKey key) {
  const std::lock_guard lock(m_mutex);
  if (const auto it = m_entries.find(key); it != m_entries.end()) it->second.state = kEventFailed;
}

bool ToolTable::RequestPause(ToolKey key) {
  const std::lock_guard lock(m_mutex);
  const auto it = m_entries.find(key);
  if (it == m_entries.end()) return false;
  it->second.pauseRequest = kEventPaused;
  return true;
}

std::optional<int32_t> ToolTable::Progress(ToolKey key, uint64_t totalSize, uint64_t bytesOnDisk) {
  const std::lock_guard lock(m_mutex);
  const auto it = m_entries.find(key);
  if (it == m_entries.end()) return std::nullopt;
  ToolInfo& entry = it->second;
  entry.state = kEventProgress;
  entry.totalSize = totalSize;
  entry.bytesOnDisk = bytesOnDisk;
  entry.rate.Add(TransferRate::Clock::now(), bytesOnDisk);
  if (totalSize == 0) return std::nullopt;
  // A server that sends more than it announced must not push the figure past 100.
  const uint64_t percent = bytesOnDisk >= totalSize ? 100 : bytesOnDisk * 100 / totalSize;
  if (static_cast<int32_t>(percent) == entry.lastPercent) return std::nullopt;
  entry.lastPercent = static_cast<int32_t>(percent);
  return entry.lastPercent;
}

bool ToolTable::End(ToolKey key, int32_t code) {
  const std::lock_guard lock(m_mutex);
  const auto it = m_entries.find(key);
  if (it == m_entries.end()) return false;
  it->second.state = code;
  return true;
}

std::optional<ToolTable::Snapshot> ToolTable::Find(ToolKey key) const {
  const std::lock_guard lock(m_mutex);
  const auto it = m_entries.find(key);
  if (it == m_entries.end()) return std::nullopt;
  const ToolInfo& e = it->second;
  return Snapshot{e.firstId,     e.secondId,           e.state, e.totalSize, e.bytesOnDisk,
                  e.lastPercent, e.pauseRequest.load()};
}

std::optional<TransferFigures> ToolTable::Figures(ToolKey key) const {
  const TransferRate::Clock::time_point now = TransferRate::Clock::now();
  const std::lock_guard lock(m_mutex);
  const auto it = m_entries.find(key);
  if (it == m_entries.end()) return std::nullopt;
  const ToolInfo& e = it->second;
  const bool running = e.state == kEventProgress;
  TransferFigures figures;
  figures.bytesDone = static_cast<double>(e.bytesOnDisk);
  if (e.totalSize > 0) figures.bytesTotal = static_cast<double>(e.totalSize);
  figures.bytesPerSecond = running ? e.rate.BytesPerSecond(now) : 0;
  if (e.state == kEventComplete) {
    figures.secondsLeft = 0;
  } else if (running && e.totalSize > 0 && figures.bytesPerSecond > 0) {
    const uint64_t left = e.totalSize - std::min(e.bytesOnDisk, e.totalSize);
    figures.secondsLeft = std::ceil(static_cast<double>(left) / figures.bytesPerSecond);
  }
  return figures;
}

}  // namespace zeva

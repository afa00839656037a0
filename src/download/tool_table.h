// The process's downloads by tool key (TOOLINFOS). Entries are added, never removed; every
// access goes through one mutex, and no caller holds it while talking to the page.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "download/tool_key.h"
#include "download/transfer_rate.h"

namespace zeva {

struct ToolInfo {
  int32_t firstId = 0;
  int32_t secondId = 0;
  int32_t state = kEventProgress;
  uint64_t totalSize = 0;    // 0 = unknown
  uint64_t bytesOnDisk = 0;  // as of the last progress event
  int32_t lastPercent = -1;  // −1 = none sent yet
  // Written by the page's thread, read by the notification threads at every event.
  std::atomic<int32_t> pauseRequest{0};
  TransferRate rate;  // of the running transfer
};

class ToolTable {
 public:
  // Puts the key's entry into state 1 for a new transfer and returns its pause request;
  // nothing when the key is downloading already.
  std::atomic<int32_t>* Begin(int32_t a, int32_t b);
  // A transfer that never started: the entry leaves state 1 so the page may try again.
  void Abandon(ToolKey key);
  // False when the table has no entry for the key.
  bool RequestPause(ToolKey key);
  // A chunk is on disk: the percentage to report when it changed, else nothing. Without a
  // known total there is no percentage to report.
  std::optional<int32_t> Progress(ToolKey key, uint64_t totalSize, uint64_t bytesOnDisk);
  // The transfer ended with `code`; false when the key has no entry.
  bool End(ToolKey key, int32_t code);

  // A copy of the entry's fields (the pause request read once).
  struct Snapshot {
    int32_t firstId, secondId, state;
    uint64_t totalSize, bytesOnDisk;
    int32_t lastPercent, pauseRequest;
  };
  std::optional<Snapshot> Find(ToolKey key) const;
  // The key's figures as of now: bytes on disk at the last chunk, the total (−1 unknown), the
  // speed (0 unless running) and the seconds left (0 once complete, −1 unknown); nothing when
  // the key has no entry.
  std::optional<TransferFigures> Figures(ToolKey key) const;

 private:
  mutable std::mutex m_mutex;
  std::map<ToolKey, ToolInfo> m_entries;  // map: nodes stay put, so pause references hold
};

}  // namespace zeva

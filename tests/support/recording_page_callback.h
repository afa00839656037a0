// A page that records every OnDownloadProgress call (from any thread) and lets a test wait
// for the report it expects.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <vector>

#include "host/page_callback.h"

namespace zeva::test {

struct PageReport {
  int32_t code, high, low, value;
  bool operator==(const PageReport&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const PageReport& r) {
  return out << "(" << r.code << ", " << r.high << ", " << r.low << ", " << r.value << ")";
}

class RecordingPageCallback final : public IPageCallback {
 public:
  bool ReportToPage(int32_t code, int32_t high, int32_t low, int32_t value) override {
    std::function<void(const PageReport&)> hook;
    {
      const std::lock_guard lock(m_mutex);
      m_reports.push_back({code, high, low, value});
      hook = m_onReport;
      m_changed.notify_all();
    }
    // Like a page's script, the hook runs with no lock of ours held and may call the client.
    if (hook) hook({code, high, low, value});
    return true;
  }

  // Runs on the reporting thread for every later report.
  void SetHook(std::function<void(const PageReport&)> hook) {
    const std::lock_guard lock(m_mutex);
    m_onReport = std::move(hook);
  }

  std::vector<PageReport> Reports() const {
    const std::lock_guard lock(m_mutex);
    return m_reports;
  }
  // Reports of one download, in the order they came.
  std::vector<PageReport> ReportsFor(int32_t high, int32_t low) const {
    std::vector<PageReport> mine;
    for (const PageReport& r : Reports()) {
      if (r.high == high && r.low == low) mine.push_back(r);
    }
    return mine;
  }

  // Waits (as a guard against a hung test, not a measure) until a report matches.
  bool WaitFor(const std::function<bool(const PageReport&)>& match,
               std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] {
      for (const PageReport& r : m_reports) {
        if (match(r)) return true;
      }
      return false;
    });
  }
  // Waits for the end of a download (code 2, −1 or −100) and returns its report.
  PageReport WaitForEnd(int32_t high, int32_t low,
                        std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
    auto isEnd = [&](const PageReport& r) { return r.high == high && r.low == low && r.code != 1; };
    if (!WaitFor(isEnd, limit)) return {0, high, low, 0};
    for (const PageReport& r : Reports()) {
      if (isEnd(r)) return r;
    }
    return {0, high, low, 0};
  }

  void Clear() {
    const std::lock_guard lock(m_mutex);
    m_reports.clear();
  }

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<PageReport> m_reports;
  std::function<void(const PageReport&)> m_onReport;
};

}  // namespace zeva::test

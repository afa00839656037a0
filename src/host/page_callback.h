// The way back to the page: its script function OnDownloadProgress, callable from any thread.
#pragma once

#include <cstdint>

namespace zeva {

// A report that is not about a download: the client's settings were saved (the settings
// window's OK), so the page reads what it shows of them again. Its key halves and value are
// 0. Download reports use 1, 2, -1 and -100; a page that knows no other code ignores it.
inline constexpr int32_t kPageEventSettingsSaved = 10;

class IPageCallback {
 public:
  virtual ~IPageCallback() = default;
  // Calls OnDownloadProgress(code, high, low, value) on the page that registered through
  // SetCallBack and returns whether the call was made (false: no registration, no such
  // function, or the page did not answer in time). Returns after the page's function has
  // returned. Callers must not hold a lock: the page may call back into the client.
  virtual bool ReportToPage(int32_t code, int32_t high, int32_t low, int32_t value) = 0;
};

}  // namespace zeva

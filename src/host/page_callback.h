// The way back to the page: its script function OnDownloadProgress, callable from any thread.
#pragma once

#include <cstdint>

namespace zeva {

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

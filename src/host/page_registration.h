// SetCallBack's registration and ReportToPage on top of it: the page's document, held so
// that any thread can reach the page's OnDownloadProgress.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "host/page_callback.h"
#include "host/script_value.h"

namespace zeva {

// A report waits this long for the page: a stuck page must not hold a transfer for ever.
inline constexpr std::chrono::milliseconds kPageReportWait{10000};

class PageRegistration final : public IPageCallback {
 public:
  // Registers `document` when it is the HTML document of the browser's top page; anything
  // else (a frame's document, any other object) changes nothing. Always 0, as pages expect.
  int32_t SetCallBack(const std::shared_ptr<IScriptObject>& document);

  bool ReportToPage(int32_t code, int32_t high, int32_t low, int32_t value) override;

  bool HasRegistration() const;

 private:
  mutable std::mutex m_mutex;  // guards the pointer only; never held while calling the page
  std::shared_ptr<IScriptObject> m_document;
};

}  // namespace zeva

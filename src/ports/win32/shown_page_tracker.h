// Which document the browser shows, for the objects its pages hand over: whether an object
// is the top page's document, and a count of top documents that tells other threads when
// the page that handed an object over is gone. Shared with the external object, which may
// outlive the control.
#pragma once

#include <windows.h>
// After windows.h:
#include <exdisp.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ports/win32/external_object.h"

namespace zeva::win32 {

class ShownPageTracker final : public std::enable_shared_from_this<ShownPageTracker> {
 public:
  ShownPageTracker() = default;
  ~ShownPageTracker();
  ShownPageTracker(const ShownPageTracker&) = delete;
  ShownPageTracker& operator=(const ShownPageTracker&) = delete;

  // User-interface thread only, from here on.
  void Attach(IWebBrowser2* browser);
  // The browser goes: every page's objects stop being shown.
  void Detach();
  // After the browser's navigation events: counts a new top document when there is one.
  void Observe();
  PageFacts FactsOf(IDispatch* object);
  // The top page's address; empty without a browser.
  std::u16string LocationUrl() const;
  // Whether `frame` (from an event) is the browser itself rather than one of its frames.
  bool IsTopFrame(IDispatch* frame) const;

  uint64_t ShownCount() const { return m_shownCount.load(); }

 private:
  IWebBrowser2* m_browser = nullptr;  // not counted: the control holds it
  IUnknown* m_document = nullptr;     // counted: its identity stays unique while held
  std::atomic<uint64_t> m_shownCount{0};
};

}  // namespace zeva::win32

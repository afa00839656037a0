#include "host/page_registration.h"

#include <array>

namespace zeva {

int32_t PageRegistration::SetCallBack(const std::shared_ptr<IScriptObject>& document) {
  if (document && document->IsHtmlDocument() && document->IsTopDocument()) {
    const std::lock_guard lock(m_mutex);
    m_document = document;  // a later page takes the place of an earlier one
  }
  return 0;
}

bool PageRegistration::ReportToPage(int32_t code, int32_t high, int32_t low, int32_t value) {
  std::shared_ptr<IScriptObject> document;
  {
    const std::lock_guard lock(m_mutex);
    document = m_document;
  }
  // Reports belong to the page that registered: one that has replaced it gets none.
  if (!document || !document->IsShown()) return false;
  const std::array<int32_t, 4> args{code, high, low, value};
  return document->CallPageFunction(u"OnDownloadProgress", args, kPageReportWait);
}

bool PageRegistration::HasRegistration() const {
  const std::lock_guard lock(m_mutex);
  return m_document != nullptr;
}

}  // namespace zeva

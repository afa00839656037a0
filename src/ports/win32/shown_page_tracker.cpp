#include "ports/win32/shown_page_tracker.h"

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// COM identity: the object's IUnknown, counted.
IUnknown* IdentityOf(IUnknown* object) {
  IUnknown* identity = nullptr;
  if (object) object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  return identity;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  IUnknown* first = IdentityOf(a);
  IUnknown* second = IdentityOf(b);
  const bool same = first && first == second;
  if (first) first->Release();
  if (second) second->Release();
  return same;
}

}  // namespace

ShownPageTracker::~ShownPageTracker() {
  if (m_document) m_document->Release();
}

void ShownPageTracker::Attach(IWebBrowser2* browser) {
  m_browser = browser;
  Observe();
}

void ShownPageTracker::Detach() {
  m_browser = nullptr;
  if (m_document) m_document->Release();
  m_document = nullptr;
  ++m_shownCount;
}

void ShownPageTracker::Observe() {
  if (!m_browser) return;
  IDispatch* document = nullptr;
  if (FAILED(m_browser->get_Document(&document))) document = nullptr;
  IUnknown* identity = IdentityOf(document);
  if (document) document->Release();
  if (identity == m_document) {
    if (identity) identity->Release();
    return;
  }
  if (m_document) m_document->Release();
  m_document = identity;
  ++m_shownCount;
}

PageFacts ShownPageTracker::FactsOf(IDispatch* object) {
  // A page hands its document over while it loads, maybe before the navigation events
  // have told of it: look now, so its own arrival does not count as leaving.
  Observe();
  PageFacts facts;
  facts.isTopDocument = m_document && SameObject(object, m_document);
  facts.shownCount =
      std::shared_ptr<const std::atomic<uint64_t>>(shared_from_this(), &m_shownCount);
  facts.shownAt = m_shownCount.load();
  return facts;
}

std::u16string ShownPageTracker::LocationUrl() const {
  if (!m_browser) return {};
  BSTR url = nullptr;
  std::u16string result;
  if (SUCCEEDED(m_browser->get_LocationURL(&url)) && url) {
    result = FromWide({url, ::SysStringLen(url)});
  }
  ::SysFreeString(url);
  return result;
}

bool ShownPageTracker::IsTopFrame(IDispatch* frame) const {
  return m_browser && frame && SameObject(frame, m_browser);
}

}  // namespace zeva::win32

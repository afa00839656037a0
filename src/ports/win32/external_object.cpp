#include "ports/win32/external_object.h"

#include <activscp.h>
#include <mshtml.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// A call of a page's function on its way to the page's thread.
struct PageCall {
  std::wstring name;
  std::vector<int32_t> args;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool called = false;

  void Finish(bool made) {
    const std::lock_guard lock(mutex);
    finished = true;
    called = made;
    done.notify_all();
  }
};

class ComScriptObject;

struct QueuedCall {
  std::shared_ptr<ComScriptObject> object;  // kept until the page's thread has made the call
  std::shared_ptr<PageCall> call;
};

constexpr UINT kWmPageCall = WM_APP + 1;     // lParam: a QueuedCall to make and delete
constexpr UINT kWmPageRelease = WM_APP + 2;  // lParam: an IUnknown to release

// Every call reaches the document on its own thread, by a message to a window of that
// thread: the calling thread never enters COM, so it can stop waiting at its deadline and
// never holds the page's thread (a cross-apartment call could do neither: the page's thread,
// waiting for a transfer's handler, would no longer serve it).
HWND PageThreadWindow();

// A page object that its own thread reaches directly and other threads through that
// thread's window, for as long as the core holds it.
class ComScriptObject final : public IScriptObject,
                              public std::enable_shared_from_this<ComScriptObject> {
 public:
  ComScriptObject(IDispatch* object, PageFacts facts)
      : m_facts(std::move(facts)), m_thread(::GetCurrentThreadId()), m_window(PageThreadWindow()) {
    if (m_window) {
      object->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&m_document));
    }
    // The text an object gives when a script converts it (for string parameters).
    VARIANT source, text;
    ::VariantInit(&source);
    ::VariantInit(&text);
    V_VT(&source) = VT_DISPATCH;
    V_DISPATCH(&source) = object;
    object->AddRef();
    if (SUCCEEDED(::VariantChangeType(&text, &source, 0, VT_BSTR))) {
      m_defaultText = FromWide(std::wstring_view(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))));
      m_hasDefault = true;
    }
    ::VariantClear(&text);
    ::VariantClear(&source);
  }

  ~ComScriptObject() override {
    if (!m_document) return;
    // The document belongs to its thread: released there (a thread that is gone took its
    // page with it).
    if (::GetCurrentThreadId() == m_thread) {
      m_document->Release();
    } else {
      ::PostMessageW(m_window, kWmPageRelease, 0, reinterpret_cast<LPARAM>(m_document));
    }
  }

  bool IsHtmlDocument() const override { return m_document != nullptr; }
  bool IsTopDocument() const override { return IsHtmlDocument() && m_facts.isTopDocument; }
  // Read on notification threads: the count is the browser's, the value at hand-over ours.
  bool IsShown() const override {
    return !m_facts.shownCount || m_facts.shownCount->load() == m_facts.shownAt;
  }

  std::optional<ScriptValue> DefaultValue() const override {
    if (!m_hasDefault) return std::nullopt;
    return ScriptValue::String(m_defaultText);
  }

  bool CallPageFunction(std::u16string_view name, std::span<const int32_t> args,
                        std::chrono::milliseconds wait) override {
    if (!m_document) return false;
    auto call = std::make_shared<PageCall>();
    call->name = Wide(name);
    call->args.assign(args.begin(), args.end());
    auto* queued = new QueuedCall{shared_from_this(), call};
    if (!::PostMessageW(m_window, kWmPageCall, 0, reinterpret_cast<LPARAM>(queued))) {
      delete queued;
      return false;
    }
    // Never waited for on the page's thread: the page may be inside a call that waits here.
    if (::GetCurrentThreadId() == m_thread) return true;
    // Until the page has answered, the deadline, or the page is no longer shown (its browser
    // went, or shows another page: the browser's count is looked at every 50 ms). A call
    // given up on at the deadline is still made when its turn comes, if its page is shown.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(call->mutex);
    while (!call->finished && IsShown() && std::chrono::steady_clock::now() < deadline) {
      call->done.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                         std::chrono::milliseconds(50)));
    }
    return call->finished && call->called;
  }

  // On the page's thread.
  void Make(PageCall& call) const { call.Finish(IsShown() && Invoke(call)); }

 private:
  bool Invoke(const PageCall& call) const {
    IDispatch* script = nullptr;
    if (FAILED(m_document->get_Script(&script)) || !script) return false;
    std::wstring name = call.name;
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    bool called = false;
    if (SUCCEEDED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)) &&
        id != 0) {
      // The last argument comes first in the array.
      std::vector<VARIANT> values(call.args.size());
      for (size_t i = 0; i < call.args.size(); ++i) {
        VARIANT& v = values[call.args.size() - 1 - i];
        ::VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = call.args[i];
      }
      DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
      VARIANT result;
      ::VariantInit(&result);
      EXCEPINFO exception{};
      script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, &result,
                     &exception, nullptr);
      ::VariantClear(&result);
      ::SysFreeString(exception.bstrSource);
      ::SysFreeString(exception.bstrDescription);
      ::SysFreeString(exception.bstrHelpFile);
      called = true;
    }
    script->Release();
    return called;
  }

  PageFacts m_facts;
  DWORD m_thread;
  HWND m_window;
  IHTMLDocument2* m_document = nullptr;  // counted; used on m_thread only
  bool m_hasDefault = false;
  std::u16string m_defaultText;
};

LRESULT CALLBACK PageThreadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kWmPageCall: {
      const std::unique_ptr<QueuedCall> queued(reinterpret_cast<QueuedCall*>(lParam));
      queued->object->Make(*queued->call);
      return 0;
    }
    case kWmPageRelease:
      reinterpret_cast<IUnknown*>(lParam)->Release();
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND PageThreadWindow() {
  static const ATOM kClass = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &PageThreadProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZevaPageCalls";
    return ::RegisterClassW(&windowClass);
  }();
  // Message-only, made on the thread's first page object; it lasts as long as the thread.
  thread_local const HWND window =
      ::CreateWindowExW(0, MAKEINTATOM(kClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                        ::GetModuleHandleW(nullptr), nullptr);
  return window;
}

VARTYPE VariantTypeOf(ParamType type) {
  switch (type) {
    case ParamType::kString:
      return VT_BSTR;
    case ParamType::kInt32:
      return VT_I4;
    case ParamType::kObject:
      return VT_DISPATCH;
  }
  return VT_EMPTY;
}

}  // namespace

std::shared_ptr<IScriptObject> WrapPageObject(IDispatch* object, PageFacts facts) {
  if (!object) return nullptr;
  return std::make_shared<ComScriptObject>(object, std::move(facts));
}

namespace {

// The calling engine's variant conversion: served by the engine itself.
constexpr GUID kSidVariantConversion = {
    0x1f101481, 0xbccd, 0x11d0, {0x93, 0x36, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
// The container's document: what a script site serves for the document its script runs in.
constexpr GUID kSidContainerDispatch = {
    0xb722be00, 0x4e68, 0x101b, {0xa2, 0xbc, 0x00, 0xaa, 0x00, 0x40, 0x47, 0x70}};

// A document's address, read as a script reads it (its URL property), so any document that
// answers by name will do.
std::u16string DocumentAddress(IDispatch* document) {
  if (!document) return {};
  wchar_t name[] = L"URL";
  LPOLESTR names[] = {name};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id))) return {};
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT value;
  ::VariantInit(&value);
  std::u16string address;
  if (SUCCEEDED(document->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                 &value, nullptr, nullptr)) &&
      V_VT(&value) == VT_BSTR && V_BSTR(&value)) {
    address = FromWide(std::wstring_view(V_BSTR(&value), ::SysStringLen(V_BSTR(&value))));
  }
  ::VariantClear(&value);
  return address;
}

std::u16string ContainerAddress(IServiceProvider* provider) {
  IDispatch* document = nullptr;
  if (!provider ||
      FAILED(provider->QueryService(kSidContainerDispatch, IID_IDispatch,
                                    reinterpret_cast<void**>(&document))) ||
      !document) {
    return {};
  }
  std::u16string address = DocumentAddress(document);
  document->Release();
  return address;
}

}  // namespace

std::u16string CallingDocumentAddress(IServiceProvider* caller) {
  if (!caller) return {};
  // The engine's caller may serve the container itself, or hand out the script site it runs
  // for (the frame's script host), which serves its own document.
  std::u16string address = ContainerAddress(caller);
  if (!address.empty()) return address;
  IServiceProvider* site = nullptr;
  if (SUCCEEDED(caller->QueryService(kIidActiveScriptSite, IID_IServiceProvider,
                                     reinterpret_cast<void**>(&site))) &&
      site) {
    address = ContainerAddress(site);
    site->Release();
    if (!address.empty()) return address;
  }
  // Engines that serve neither (Wine 8's JScript) still serve their variant conversion, which
  // is the calling script engine itself: its own site serves the frame's document.
  IActiveScript* engine = nullptr;
  if (SUCCEEDED(caller->QueryService(kSidVariantConversion, IID_IActiveScript,
                                     reinterpret_cast<void**>(&engine))) &&
      engine) {
    if (SUCCEEDED(engine->GetScriptSite(IID_IServiceProvider, reinterpret_cast<void**>(&site))) &&
        site) {
      address = ContainerAddress(site);
      site->Release();
    }
    engine->Release();
  }
  return address;
}

ExternalObject::ExternalObject(ExternalDispatcher& dispatcher, CallerAddress callerAddress,
                               PageFactsSource pageFacts)
    : m_dispatcher(dispatcher),
      m_callerAddress(std::move(callerAddress)),
      m_pageFacts(std::move(pageFacts)) {}

HRESULT ExternalObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidDispatchEx) {
    *object = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ExternalObject::AddRef() {
  return ++m_references;
}

ULONG ExternalObject::Release() {
  const ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

HRESULT ExternalObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ExternalObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT ExternalObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  HRESULT result = S_OK;
  ids[0] = names[0] ? FindMethod(FromWide(names[0])) : 0;
  if (ids[0] == 0) {
    ids[0] = DISPID_UNKNOWN;
    result = DISP_E_UNKNOWNNAME;
  }
  // No method has named parameters.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

HRESULT ExternalObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* argumentError) {
  return Call(id, flags, params, result, argumentError, nullptr);
}

HRESULT ExternalObject::GetDispID(BSTR name, DWORD, DISPID* id) {
  if (!id) return E_POINTER;
  LPOLESTR names[] = {name};
  return GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, id);
}

HRESULT ExternalObject::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, IServiceProvider* caller) {
  return Call(id, flags, params, result, nullptr, caller);
}

HRESULT ExternalObject::DeleteMemberByName(BSTR, DWORD) {
  return S_FALSE;  // nothing can be deleted
}

HRESULT ExternalObject::DeleteMemberByDispID(DISPID) {
  return S_FALSE;
}

HRESULT ExternalObject::GetMemberProperties(DISPID, DWORD, DWORD* properties) {
  if (properties) *properties = 0;
  return E_NOTIMPL;
}

HRESULT ExternalObject::GetMemberName(DISPID id, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (id < 1 || id > kMethodCount) return DISP_E_MEMBERNOTFOUND;
  const std::wstring text = Wide(std::u16string(MethodTable()[static_cast<size_t>(id - 1)].name));
  *name = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return S_OK;
}

HRESULT ExternalObject::GetNextDispID(DWORD, DISPID id, DISPID* next) {
  if (!next) return E_POINTER;
  const DISPID following = id == DISPID_STARTENUM ? 1 : id + 1;
  if (following < 1 || following > kMethodCount) {
    *next = DISPID_UNKNOWN;
    return S_FALSE;
  }
  *next = following;
  return S_OK;
}

HRESULT ExternalObject::GetNameSpaceParent(IUnknown** parent) {
  if (parent) *parent = nullptr;
  return E_NOTIMPL;
}

HRESULT ExternalObject::Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                             UINT* argumentError, IServiceProvider* caller) {
  if (id < 1 || id > kMethodCount) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  const MethodInfo& method = MethodTable()[static_cast<size_t>(id - 1)];
  const UINT count = params ? params->cArgs : 0;

  // Arguments arrive last first. Counts are the core's to refuse; conversions the system's.
  std::vector<ScriptValue> values;
  if (count == method.paramCount) {
    values.reserve(count);
    for (UINT i = 0; i < count; ++i) {
      VARIANT& source = params->rgvarg[count - 1 - i];
      VARIANT converted;
      ::VariantInit(&converted);
      const HRESULT hr =
          ::VariantChangeType(&converted, &source, 0, VariantTypeOf(method.params[i]));
      if (FAILED(hr)) {
        if (argumentError) *argumentError = count - 1 - i;
        return hr;
      }
      switch (V_VT(&converted)) {
        case VT_BSTR:
          values.push_back(ScriptValue::String(
              FromWide(std::wstring_view(V_BSTR(&converted), ::SysStringLen(V_BSTR(&converted))))));
          break;
        case VT_I4:
          values.push_back(ScriptValue::Int32(V_I4(&converted)));
          break;
        case VT_DISPATCH: {
          IDispatch* object = V_DISPATCH(&converted);
          PageFacts facts = m_pageFacts && object ? m_pageFacts(object) : PageFacts{};
          values.push_back(ScriptValue::Object(WrapPageObject(object, std::move(facts))));
          break;
        }
        default:
          values.push_back(ScriptValue::Empty());
      }
      ::VariantClear(&converted);
    }
  } else {
    values.resize(count);  // refused by the core for its count
  }

  // The calling frame's address decides; a caller that cannot be told is refused.
  const InvokeResult outcome =
      m_dispatcher.Invoke(id, values, m_callerAddress ? m_callerAddress(caller) : u"");
  if (outcome.error != kSOk) {
    if (argumentError) *argumentError = count - 1 - outcome.argumentIndex;
    return outcome.error;
  }
  if (result) {
    ::VariantInit(result);
    switch (outcome.value.type) {
      case ScriptValue::Type::kInt32:
        V_VT(result) = VT_I4;
        V_I4(result) = outcome.value.int32;
        break;
      case ScriptValue::Type::kDouble:
        V_VT(result) = VT_R8;
        V_R8(result) = outcome.value.number;
        break;
      case ScriptValue::Type::kBool:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = outcome.value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case ScriptValue::Type::kString: {
        const std::wstring text = Wide(outcome.value.text);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        break;
      }
      default:
        break;
    }
  }
  return S_OK;
}

}  // namespace zeva::win32

// A cancel is seen at the moniker's next notification (it reports as data arrives).
#include "ports/win32/url_moniker_downloader.h"

#include <urlmon.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

bool IsWebAddress(std::u16string_view url) {
  for (std::u16string_view scheme : {u"http://", u"https://"}) {
    if (url.size() < scheme.size()) continue;
    bool same = true;
    for (size_t i = 0; i < scheme.size() && same; ++i) {
      const char16_t c = url[i] >= u'A' && url[i] <= u'Z' ? url[i] + 32 : url[i];
      same = c == scheme[i];
    }
    if (same) return true;
  }
  return false;
}

// Lives on the caller's stack for one download; the moniker holds it no longer.
class BindCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  BindCallback(const DownloadProgress& progress, const DownloadCancel* cancel)
      : m_progress(progress), m_cancel(cancel) {}
  bool RefusedReply() const { return m_refusedReply; }
  // The length the server announced (0: none).
  ULONG AnnouncedLength() const { return m_total; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (iid == IID_IHttpNegotiate) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // IBindStatusCallback
  STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG done, ULONG total, ULONG status, LPCWSTR) override {
    if (m_cancel && m_cancel->Cancelled()) return E_ABORT;
    if (status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA) {
      m_total = total;
      if (m_progress) m_progress(done, total);
    }
    return S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate: an error page is no download.
  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) override {
    *extra = nullptr;
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* extra) override {
    if (extra) *extra = nullptr;
    if (code >= 400) {
      m_refusedReply = true;
      return E_ABORT;
    }
    return S_OK;
  }

 private:
  const DownloadProgress& m_progress;
  const DownloadCancel* m_cancel;
  bool m_refusedReply = false;
  ULONG m_total = 0;
};

uint64_t FileSize(const std::wstring& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace

DownloadResult UrlMonikerDownloader::Download(std::u16string_view url, std::u16string_view file,
                                              const DownloadProgress& progress,
                                              const DownloadCancel* cancel) {
  // The moniker would also copy file: addresses and run other protocols: the web only.
  if (!IsWebAddress(url)) return DownloadResult::kFailed;
  if (cancel && cancel->Cancelled()) return DownloadResult::kCancelled;
  // Also on a worker thread that has no COM yet.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BindCallback callback(progress, cancel);
  const std::wstring target = Wide(file);
  const HRESULT result =
      ::URLDownloadToFileW(nullptr, Wide(url).c_str(), target.c_str(), 0, &callback);
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (cancel && cancel->Cancelled()) return DownloadResult::kCancelled;
  if (FAILED(result) || callback.RefusedReply()) return DownloadResult::kFailed;
  // The moniker takes a connection that closed early for the end of the body: a file short
  // of the announced length is no download.
  const ULONG announced = callback.AnnouncedLength();
  return announced == 0 || FileSize(target) == announced ? DownloadResult::kDone
                                                         : DownloadResult::kFailed;
}

}  // namespace zeva::win32

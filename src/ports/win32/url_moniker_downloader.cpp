// A cancel is seen at the moniker's next notification (it reports as data arrives).
#include "ports/win32/url_moniker_downloader.h"

#include <urlmon.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

bool HasWebScheme(std::wstring_view url) {
  for (std::wstring_view scheme : {L"http://", L"https://"}) {
    if (url.size() >= scheme.size() &&
        ::CompareStringOrdinal(url.data(), static_cast<int>(scheme.size()), scheme.data(),
                               static_cast<int>(scheme.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

// Lives on the caller's stack for one download; the moniker holds it no longer.
class BindCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  BindCallback(const DownloadProgress& progress, const DownloadCancel* cancel)
      : m_progress(progress), m_cancel(cancel) {}
  std::optional<uint32_t> Status() const { return m_status; }
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
  STDMETHODIMP OnProgress(ULONG done, ULONG total, ULONG status, LPCWSTR text) override {
    if (m_cancel && m_cancel->Cancelled()) return E_ABORT;
    // A redirect's target only the moniker sees (the core checked the first address), and it
    // would follow one to file: or another protocol: the web only.
    if (status == BINDSTATUS_REDIRECTING && text && !HasWebScheme(text)) return E_ABORT;
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

  // IHttpNegotiate: the final reply's status, for the core to judge; an error page is
  // written like any body.
  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) override {
    *extra = nullptr;
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* extra) override {
    if (extra) *extra = nullptr;
    m_status = code;
    return S_OK;
  }

 private:
  const DownloadProgress& m_progress;
  const DownloadCancel* m_cancel;
  std::optional<uint32_t> m_status;
  ULONG m_total = 0;
};

uint64_t FileSize(const std::wstring& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace

FileDownloadReport UrlMonikerDownloader::Download(std::u16string_view url, std::u16string_view file,
                                                  const DownloadProgress& progress,
                                                  const DownloadCancel* cancel) {
  // The core passes web addresses only: it refuses file: and every other scheme, which the
  // moniker would copy or run.
  FileDownloadReport report;
  if (cancel && cancel->Cancelled()) {
    report.end = TransferEnd::kCancelled;
    return report;
  }
  // Also on a worker thread that has no COM yet.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BindCallback callback(progress, cancel);
  const std::wstring target = Wide(file);
  const HRESULT result =
      ::URLDownloadToFileW(nullptr, Wide(url).c_str(), target.c_str(), 0, &callback);
  if (SUCCEEDED(com)) ::CoUninitialize();
  report.status = callback.Status();
  // The moniker takes a connection that closed early for the end of the body: what the file
  // holds is measured, and the core compares it with the announced length.
  if (const ULONG announced = callback.AnnouncedLength(); announced != 0) {
    report.announcedLength = announced;
  }
  report.written = FileSize(target);
  if (cancel && cancel->Cancelled()) {
    report.end = TransferEnd::kCancelled;
  } else if (SUCCEEDED(result)) {
    report.end = TransferEnd::kBodyEnded;
  }
  return report;
}

}  // namespace zeva::win32

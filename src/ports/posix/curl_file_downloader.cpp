#include "ports/posix/curl_file_downloader.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "platform/unicode.h"
#include "ports/posix/posix_path.h"

namespace zeva::posix {
namespace {

struct Transfer {
  FILE* file = nullptr;
  uint64_t written = 0;
  bool writeFailed = false;
  const DownloadProgress* progress = nullptr;
  const DownloadCancel* cancel = nullptr;
  curl_off_t reportedNow = -1, reportedTotal = -1;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t total = size * count;
  if (std::fwrite(data, 1, total, transfer.file) == total) {
    transfer.written += total;
    return total;
  }
  transfer.writeFailed = true;
  return 0;
}

// Also called about once a second while nothing arrives, so a cancel is seen in time.
int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(user);
  if (transfer.cancel && transfer.cancel->Cancelled()) return 1;
  if (*transfer.progress && (now != transfer.reportedNow || total != transfer.reportedTotal)) {
    transfer.reportedNow = now;
    transfer.reportedTotal = total;
    (*transfer.progress)(static_cast<uint64_t>(now), static_cast<uint64_t>(total));
  }
  return 0;
}

}  // namespace

CurlFileDownloader::CurlFileDownloader(const HttpClientOptions& options)
    : m_options(options),
      m_caFile(Utf16ToUtf8(options.caFile)),
      m_ready(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

CurlFileDownloader::~CurlFileDownloader() {
  if (m_ready) curl_global_cleanup();
}

FileDownloadReport CurlFileDownloader::Download(std::u16string_view url, std::u16string_view file,
                                                const DownloadProgress& progress,
                                                const DownloadCancel* cancel) {
  FileDownloadReport report;
  if (cancel && cancel->Cancelled()) {
    report.end = TransferEnd::kCancelled;
    return report;
  }
  const std::unique_ptr<CURL, void (*)(CURL*)> easy(m_ready ? curl_easy_init() : nullptr,
                                                    &curl_easy_cleanup);
  if (!easy) return report;
  const std::string address = Utf16ToUtf8(url);
  Transfer transfer;
  transfer.progress = &progress;
  transfer.cancel = cancel;

  CURL* e = easy.get();
  bool ok = curl_easy_setopt(e, CURLOPT_URL, address.c_str()) == CURLE_OK;
  // The core accepted the address; a redirect's target only libcurl sees, so it keeps those
  // to the web itself.
  ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_MAXREDIRS, long{m_options.maxRedirects}) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, long{m_options.connectTimeoutSeconds}) ==
                 CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long{m_options.stallSeconds}) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
  if (!m_caFile.empty()) {
    ok = ok && curl_easy_setopt(e, CURLOPT_CAINFO, m_caFile.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_CAPATH, nullptr) == CURLE_OK;
  }
  ok = ok && curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &OnProgress) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
  // Split before the file exists: an address libcurl cannot take creates nothing.
  CURLU* parts = curl_url();
  ok = ok && parts && curl_url_set(parts, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
  curl_url_cleanup(parts);
  if (!ok) return report;

  transfer.file = std::fopen(ToNativePath(file).c_str(), "wb");
  if (!transfer.file) return report;
  const CURLcode result = curl_easy_perform(e);
  const bool closed = std::fclose(transfer.file) == 0;
  long status = 0;
  if (curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status > 0) {
    report.status = static_cast<uint32_t>(status);
  }
  curl_off_t length = -1;
  if (curl_easy_getinfo(e, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      length >= 0) {
    report.announcedLength = static_cast<uint64_t>(length);
  }
  report.written = transfer.written;
  if (result == CURLE_ABORTED_BY_CALLBACK && cancel && cancel->Cancelled()) {
    report.end = TransferEnd::kCancelled;
  } else if (result == CURLE_OK && closed && !transfer.writeFailed) {
    report.end = TransferEnd::kBodyEnded;
  }
  return report;
}

}  // namespace zeva::posix

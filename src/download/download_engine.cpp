#include "download/download_engine.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "download/download_path.h"
#include "download/reply_headers.h"
#include "download/resume_validator.h"
#include "game/paths.h"

namespace zeva {
namespace {

constexpr std::u16string_view kUserAgent = u"MSIE";
constexpr uint32_t kStatusOk = 200;
constexpr uint32_t kStatusPartial = 206;
constexpr uint32_t kStatusRangeNotSatisfiable = 416;

// Whether a reply's validator of the kind kept (a tag, or a date) names another version of
// the file than the kept one.
bool IsAnotherVersion(const std::string& kept, const std::optional<std::string>& etag,
                      const std::optional<std::string>& lastModified) {
  const std::optional<std::string> now = kept.front() == '"'
                                             ? ResumeValidator(etag, std::nullopt)
                                             : ResumeValidator(std::nullopt, lastModified);
  return now && *now != kept;
}

}  // namespace

void Transfer::OnSendComplete() {
  engine.OnHttpStatus(*this, HttpStatus::kSendComplete, 0);
}
void Transfer::OnHeadersAvailable() {
  engine.OnHttpStatus(*this, HttpStatus::kHeadersAvailable, 0);
}
void Transfer::OnDataAvailable(uint64_t bytes) {
  engine.OnHttpStatus(*this, HttpStatus::kDataAvailable, bytes);
}
void Transfer::OnReadComplete(size_t bytes) {
  engine.OnHttpStatus(*this, HttpStatus::kReadComplete, bytes);
}
void Transfer::OnRequestError() {
  engine.OnHttpStatus(*this, HttpStatus::kRequestError, 0);
}

DownloadEngine::DownloadEngine(const Platform& platform, IPageCallback& page, IHttpClient& http)
    : m_platform(platform), m_page(page), m_http(http) {}

DownloadEngine::~DownloadEngine() {
  std::set<Transfer*> running;
  {
    const std::lock_guard lock(m_liveMutex);
    running.swap(m_live);
  }
  // These transfers are ours now: their handlers, finding them gone from the live set, will
  // not finish them. Cancel waits for a handler that is running.
  for (Transfer* transfer : running) {
    transfer->request->Cancel();
    transfer->request.reset();
    transfer->session.reset();
    transfer->file->Close();
    delete transfer;
  }
  std::unique_lock lock(m_liveMutex);
  m_finished.wait(lock, [this] { return m_finishing == 0; });
}

int32_t DownloadEngine::DownloadFile(std::u16string_view url, std::u16string_view name, int32_t a,
                                     int32_t b) {
  if (!IsAcceptableDownloadName(name)) return 0;
  std::atomic<int32_t>* pause = m_tools.Begin(a, b);
  if (!pause) return 0;  // the same key is downloading; it goes on untouched

  const std::u16string clientFolder = GetClientFolder(m_platform);
  MakeDirectoryPath(m_platform, DownloadsFolderOf(clientFolder));
  const ToolKey key = MakeToolKey(a, b);
  const int32_t started = StartTransfer(
      url, DownloadPath(clientFolder, name), KeyLow(key), KeyHigh(key),
      [this](int32_t code, const Transfer& transfer) { OnTransferEvent(code, transfer); }, *pause);
  // A transfer that never started gets no report; its entry must not stay "downloading",
  // or the page could never try this key again.
  if (!started) m_tools.Abandon(key);
  return started;
}

int32_t DownloadEngine::PauseDownload(int32_t a, int32_t b) {
  return m_tools.RequestPause(MakeToolKey(a, b)) ? 1 : 0;
}

int32_t DownloadEngine::StartTransfer(std::u16string_view url, std::u16string_view path,
                                      int32_t low, int32_t high, CompletionRoutine completion,
                                      std::atomic<int32_t>& pause) {
  auto transfer = std::make_unique<Transfer>(*this, low, high, std::move(completion), pause);
  // Shares reading, refuses other writers: a second download of the same name fails here.
  transfer->file = m_platform.files.OpenForAppend(path);
  if (!transfer->file) return 0;
  transfer->startOffset = transfer->file->Size();
  transfer->path = path;
  if (transfer->startOffset > 0) {
    transfer->validator = LoadResumeValidator(m_platform.files, path);
  }
  transfer->session = m_http.OpenSession(kUserAgent);
  if (!transfer->session) return 0;  // the file closes with the record

  Transfer& owned = *transfer.release();
  {
    const std::lock_guard lock(m_liveMutex);
    m_live.insert(&owned);
  }
  SendRequest(owned, url);
  return 1;
}

void DownloadEngine::SendRequest(Transfer& transfer, std::u16string_view url) {
  // A refused address ends as a request that cannot be sent: the same report, and the
  // transport never sees it.
  if (CheckDownloadAddress(url) != AddressCheck::kOk) return FinishTransfer(transfer, kEventFailed);
  std::vector<std::string> headerLines;
  // An empty file asks for everything; a partial one for the rest, open-ended.
  if (transfer.startOffset > 0) {
    headerLines.push_back("Range: bytes=" + std::to_string(transfer.startOffset) + "-");
    // The rest only of the file the part came from: a file changed since comes whole (200).
    if (transfer.validator) headerLines.push_back("If-Range: " + *transfer.validator);
  }
  transfer.request = transfer.session->OpenRequest(url, headerLines, transfer);
  // Once sent, the transfer belongs to its handler: it is not touched here again.
  if (!transfer.request || !transfer.request->Send()) FinishTransfer(transfer, kEventFailed);
}

void DownloadEngine::OnHttpStatus(Transfer& transfer, HttpStatus status, uint64_t value) {
  if (transfer.pauseRequest.load() == kEventPaused) {
    FinishTransfer(transfer, kEventPaused);
    return;
  }
  IHttpRequest& request = *transfer.request;
  switch (status) {
    case HttpStatus::kSendComplete:
      if (!request.ReceiveResponse()) FinishTransfer(transfer, kEventFailed);
      break;
    case HttpStatus::kHeadersAvailable:
      OnHeaders(transfer);
      break;
    case HttpStatus::kDataAvailable: {
      if (value == 0) {
        OnEndOfBody(transfer);
        break;
      }
      // No more than is there: a read of more may wait for the rest (WinHTTP fills the
      // buffer), and a slow server's progress would then come a whole buffer at a time.
      const auto size = static_cast<size_t>(std::min<uint64_t>(value, transfer.buffer.size()));
      if (!request.ReadData(transfer.buffer.data(), size)) FinishTransfer(transfer, kEventFailed);
      break;
    }
    case HttpStatus::kReadComplete: {
      const auto bytes = static_cast<uint32_t>(std::min<uint64_t>(value, transfer.buffer.size()));
      transfer.received += bytes;
      transfer.lastChunk = bytes;
      if (bytes == 0) {
        OnEndOfBody(transfer);
        break;
      }
      // Written before the next read is asked for; a full disk fails the transfer.
      if (!transfer.file->Write(transfer.buffer.data(), bytes)) {
        FinishTransfer(transfer, kEventFailed);
        break;
      }
      transfer.completion(kEventProgress, transfer);
      if (!request.QueryDataAvailable()) FinishTransfer(transfer, kEventFailed);
      break;
    }
    case HttpStatus::kRequestError:
      FinishTransfer(transfer, kEventFailed);
      break;
  }
}

void DownloadEngine::OnHeaders(Transfer& transfer) {
  IHttpRequest& request = *transfer.request;
  const std::optional<uint32_t> status = request.StatusCode();
  const std::optional<std::string> lengthHeader = request.Header("Content-Length");
  const std::optional<uint64_t> length =
      lengthHeader ? ParseContentLength(*lengthHeader) : std::nullopt;
  const uint64_t bodyLength = length.value_or(0);
  const std::optional<std::string> etag = request.Header("ETag");
  const std::optional<std::string> lastModified = request.Header("Last-Modified");
  const std::optional<std::string> validator = ResumeValidator(etag, lastModified);

  if (status == kStatusOk) {
    // The whole file, whatever was asked for: start the file again rather than splice it.
    if (transfer.startOffset > 0) {
      if (!transfer.file->Truncate()) return FinishTransfer(transfer, kEventFailed);
      transfer.startOffset = 0;
    }
    // Kept before the first byte is written, so a part on disk always has its own.
    if (!StoreResumeValidator(m_platform.files, transfer.path, validator)) {
      return FinishTransfer(transfer, kEventFailed);
    }
    transfer.validator = validator;
    transfer.expectedEnd = bodyLength;
  } else if (status == kStatusPartial) {
    const std::optional<std::string> rangeHeader = request.Header("Content-Range");
    const std::optional<ContentRange> range =
        rangeHeader ? ParseContentRange(*rangeHeader) : std::nullopt;
    if (!range || range->first != transfer.startOffset) {
      return FinishTransfer(transfer, kEventFailed);
    }
    // A server that ignores If-Range sends the rest of a file that changed: the part on
    // disk is of no use, and the next download starts from the first byte.
    if (transfer.validator && IsAnotherVersion(*transfer.validator, etag, lastModified)) {
      transfer.file->Truncate();
      StoreResumeValidator(m_platform.files, transfer.path, std::nullopt);
      return FinishTransfer(transfer, kEventFailed);
    }
    // The body ends where the range does, and the download only where the file does.
    if (length && bodyLength != range->last - range->first + 1) {
      return FinishTransfer(transfer, kEventFailed);
    }
    transfer.expectedEnd = range->completeLength.value_or(range->last + 1);
    if (validator && validator != transfer.validator) {
      if (!StoreResumeValidator(m_platform.files, transfer.path, validator)) {
        return FinishTransfer(transfer, kEventFailed);
      }
      transfer.validator = validator;
    }
  } else if (status == kStatusRangeNotSatisfiable) {
    // Nothing left to send: complete when the server's file is exactly ours. Its body is
    // never file data.
    const std::optional<std::string> range = request.Header("Content-Range");
    const std::optional<uint64_t> whole =
        range ? ParseUnsatisfiedRangeLength(*range) : std::nullopt;
    return FinishTransfer(transfer, whole == transfer.startOffset ? kEventComplete : kEventFailed);
  } else {
    return FinishTransfer(transfer, kEventFailed);
  }
  transfer.totalSize = length ? transfer.startOffset + bodyLength : 0;
  transfer.received = 0;
  transfer.lastChunk = 0;
  if (!request.QueryDataAvailable()) FinishTransfer(transfer, kEventFailed);
}

void DownloadEngine::OnEndOfBody(Transfer& transfer) {
  // A body that ends short of its announced length or range was cut off, not completed.
  const bool whole =
      transfer.expectedEnd == 0 || transfer.startOffset + transfer.received == transfer.expectedEnd;
  FinishTransfer(transfer, whole ? kEventComplete : kEventFailed);
}

void DownloadEngine::FinishTransfer(Transfer& transfer, int32_t code) {
  {
    const std::lock_guard lock(m_liveMutex);
    // Gone from the live set: the engine is being destroyed and has taken it over.
    if (m_live.erase(&transfer) == 0) return;
    ++m_finishing;
  }
  transfer.request.reset();  // unregisters the handler, then closes the request
  transfer.session.reset();
  // Closed before the report, so a page told "complete" may use the file at once.
  const bool closed = transfer.file->Close();
  if (!closed && code == kEventComplete) code = kEventFailed;
  // A whole file needs no validator: a later download of it asks for nothing more.
  if (code == kEventComplete) StoreResumeValidator(m_platform.files, transfer.path, std::nullopt);
  transfer.completion(code, transfer);
  delete &transfer;

  const std::lock_guard lock(m_liveMutex);
  --m_finishing;
  m_finished.notify_all();
}

void DownloadEngine::OnTransferEvent(int32_t code, const Transfer& transfer) {
  const ToolKey key = KeyFromHalves(transfer.keyHigh, transfer.keyLow);
  std::optional<int32_t> value;
  if (code == kEventProgress) {
    value = m_tools.Progress(key, transfer.totalSize, transfer.startOffset + transfer.received);
  } else if (m_tools.End(key, code)) {
    value = code == kEventComplete ? 100 : 0;
  }
  // No lock is held here: the page may call back into the client.
  if (value) m_page.ReportToPage(code, transfer.keyHigh, transfer.keyLow, *value);
}

}  // namespace zeva

// Threads: one per transfer, each driving its own multi handle. A report to the page holds
// its notification thread until the page's function has returned (or timed out), and a
// chunk is written to disk on the same thread; with one shared network thread a slow page
// or a slow disk would stall every other download. The page runs a handful of downloads at
// once, so a thread each is cheap. The multi handle (rather than a blocking easy perform)
// lets Cancel wake the thread at once with curl_multi_wakeup.
//
// libcurl pushes body bytes into a write callback; the contract pulls them one read at a
// time. The write callback therefore answers the owner's outstanding operation from the
// bytes at hand, event by event, until they are used up. The owner starts the next
// operation inside each event, so this never waits and never recurses.
#include "ports/posix/curl_http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/unicode.h"

namespace zeva::posix {
namespace {

// What libcurl takes from the socket at once (the curl tool uses as much): fewer system calls
// per megabyte; the owner still reads it out in its own small pieces.
constexpr long kReceiveBuffer = 100 * 1024;

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

enum class Operation { kNone, kReceive, kQuery, kRead };

// Shared by the request handle and its thread; the thread may outlive the handle.
class CurlTransfer {
 public:
  CurlTransfer(IHttpEvents& events, CURL* easy, curl_slist* headers)
      : m_events(&events), m_easy(easy), m_headerList(headers) {}
  ~CurlTransfer() {
    if (m_easy) curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_headerList);
  }

  bool Start(Operation op) {
    const std::lock_guard lock(m_mutex);
    if (m_closed || m_pending != Operation::kNone) return false;
    m_pending = op;
    return true;
  }
  bool StartRead(void* buffer, size_t size) {
    const std::lock_guard lock(m_mutex);
    if (m_closed || m_pending != Operation::kNone || size == 0) return false;
    m_pending = Operation::kRead;
    m_readBuffer = static_cast<char*>(buffer);
    m_readSize = size;
    return true;
  }

  std::optional<uint32_t> StatusCode() {
    const std::lock_guard lock(m_mutex);
    if (m_status <= 0) return std::nullopt;
    return static_cast<uint32_t>(m_status);
  }
  std::optional<std::string> Header(std::string_view name) {
    const std::lock_guard lock(m_mutex);
    for (const auto& [key, value] : m_headers) {
      if (EqualsAsciiNoCase(key, name)) return value;
    }
    return std::nullopt;
  }

  // From any thread; waits for a running event unless called from inside one.
  void Close() {
    std::unique_lock lock(m_mutex);
    m_closed = true;
    if (m_multi) curl_multi_wakeup(m_multi);
    if (std::this_thread::get_id() != m_thread) m_idle.wait(lock, [this] { return !m_inEvent; });
  }

  void Run();

 private:
  static size_t OnHeaderLine(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);

  Operation Take() {
    const std::lock_guard lock(m_mutex);
    if (m_closed) return Operation::kNone;
    return std::exchange(m_pending, Operation::kNone);
  }
  // Runs one event unless the request is closed; false when it is closed afterwards.
  template <typename Event>
  bool Deliver(Event event) {
    {
      const std::lock_guard lock(m_mutex);
      if (m_closed) return false;
      m_inEvent = true;
    }
    event(*m_events);
    const std::lock_guard lock(m_mutex);
    m_inEvent = false;
    m_idle.notify_all();
    return !m_closed;
  }
  bool DeliverHeaders();
  void Finish(CURLcode result);

  std::mutex m_mutex;
  std::condition_variable m_idle;
  bool m_closed = false;
  bool m_inEvent = false;
  std::thread::id m_thread;
  Operation m_pending = Operation::kNone;
  char* m_readBuffer = nullptr;
  size_t m_readSize = 0;
  long m_status = 0;
  std::list<std::pair<std::string, std::string>> m_headers;  // of the latest reply
  bool m_headersDelivered = false;

  IHttpEvents* m_events;
  CURL* m_easy;
  CURLM* m_multi = nullptr;
  curl_slist* m_headerList;

  friend class CurlRequest;
};

size_t CurlTransfer::OnHeaderLine(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const std::string_view line(data, size * count);
  const std::lock_guard lock(transfer.m_mutex);
  if (line.rfind("HTTP/", 0) == 0) {
    // A new reply (after a redirect, or an interim one): forget the last one's headers.
    transfer.m_headers.clear();
  } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
    transfer.m_headers.emplace_back(TrimSpace(line.substr(0, colon)),
                                    TrimSpace(line.substr(colon + 1)));
  }
  return size * count;
}

bool CurlTransfer::DeliverHeaders() {
  m_headersDelivered = true;
  long status = 0;
  curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
  {
    const std::lock_guard lock(m_mutex);
    m_status = status;
  }
  if (Take() != Operation::kReceive) return false;  // the owner is not waiting for them
  return Deliver([](IHttpEvents& events) { events.OnHeadersAvailable(); });
}

size_t CurlTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const size_t total = size * count;
  if (!transfer.m_headersDelivered && !transfer.DeliverHeaders()) return 0;
  size_t used = 0;
  while (used < total) {
    const size_t left = total - used;
    switch (transfer.Take()) {
      case Operation::kQuery:
        if (!transfer.Deliver([left](IHttpEvents& e) { e.OnDataAvailable(left); })) return 0;
        break;
      case Operation::kRead: {
        const size_t bytes = std::min(left, transfer.m_readSize);
        std::memcpy(transfer.m_readBuffer, data + used, bytes);
        used += bytes;
        if (!transfer.Deliver([bytes](IHttpEvents& e) { e.OnReadComplete(bytes); })) return 0;
        break;
      }
      default:
        return 0;  // closed, or nothing asked for: abandon the transfer
    }
  }
  return total;
}

void CurlTransfer::Finish(CURLcode result) {
  if (result != CURLE_OK) {
    if (Take() != Operation::kNone) Deliver([](IHttpEvents& e) { e.OnRequestError(); });
    return;
  }
  if (!m_headersDelivered && !DeliverHeaders()) return;
  // The body is at its end: answer what the owner asks until it lets the request go.
  for (int i = 0; i < 4; ++i) {
    const Operation op = Take();
    if (op == Operation::kQuery) {
      if (!Deliver([](IHttpEvents& e) { e.OnDataAvailable(0); })) return;
    } else if (op == Operation::kRead) {
      if (!Deliver([](IHttpEvents& e) { e.OnReadComplete(0); })) return;
    } else {
      return;
    }
  }
}

void CurlTransfer::Run() {
  {
    const std::lock_guard lock(m_mutex);
    m_thread = std::this_thread::get_id();
  }
  curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeaderLine);
  curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
  curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);

  CURLM* multi = curl_multi_init();
  if (!multi) {
    Finish(CURLE_OUT_OF_MEMORY);
    return;
  }
  {
    const std::lock_guard lock(m_mutex);
    m_multi = multi;
  }
  if (Deliver([](IHttpEvents& e) { e.OnSendComplete(); }) &&
      curl_multi_add_handle(multi, m_easy) == CURLM_OK) {
    for (;;) {
      int running = 0;
      if (curl_multi_perform(multi, &running) != CURLM_OK) {
        Finish(CURLE_FAILED_INIT);
        break;
      }
      int queued = 0;
      std::optional<CURLcode> done;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE) done = message->data.result;
      }
      if (done) {
        Finish(*done);
        break;
      }
      {
        const std::lock_guard lock(m_mutex);
        if (m_closed) break;
      }
      curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
      const std::lock_guard lock(m_mutex);
      if (m_closed) break;
    }
    curl_multi_remove_handle(multi, m_easy);
  }
  {
    const std::lock_guard lock(m_mutex);
    m_multi = nullptr;  // Close must not wake a handle that is going away
  }
  curl_multi_cleanup(multi);
}

// Threads of finished transfers are joined by the next Send and by the client's destructor.
class ThreadPark {
 public:
  ~ThreadPark() {
    std::list<Entry> all;
    {
      const std::lock_guard lock(m_mutex);
      all.swap(m_threads);
    }
    for (Entry& entry : all) entry.thread.join();
  }
  void Launch(std::shared_ptr<CurlTransfer> transfer) {
    std::list<Entry> finished;
    const std::lock_guard lock(m_mutex);
    for (auto it = m_threads.begin(); it != m_threads.end();) {
      if (*it->done) {
        it->thread.join();
        it = m_threads.erase(it);
      } else {
        ++it;
      }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_threads.push_back({std::thread([transfer = std::move(transfer), done]() mutable {
                           transfer->Run();
                           transfer.reset();
                           *done = true;
                         }),
                         done});
  }

 private:
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex m_mutex;
  std::list<Entry> m_threads;
};

class CurlRequest final : public IHttpRequest {
 public:
  CurlRequest(std::shared_ptr<CurlTransfer> transfer, ThreadPark& park)
      : m_transfer(std::move(transfer)), m_park(park) {}
  ~CurlRequest() override { m_transfer->Close(); }

  bool Send() override {
    if (m_sent) return false;
    m_sent = true;
    m_park.Launch(m_transfer);
    return true;
  }
  bool ReceiveResponse() override { return m_transfer->Start(Operation::kReceive); }
  bool QueryDataAvailable() override { return m_transfer->Start(Operation::kQuery); }
  bool ReadData(void* buffer, size_t size) override { return m_transfer->StartRead(buffer, size); }
  std::optional<uint32_t> StatusCode() override { return m_transfer->StatusCode(); }
  std::optional<std::string> Header(std::string_view name) override {
    return m_transfer->Header(name);
  }
  void Cancel() override { m_transfer->Close(); }

 private:
  std::shared_ptr<CurlTransfer> m_transfer;
  ThreadPark& m_park;
  bool m_sent = false;
};

class CurlSession final : public IHttpSession {
 public:
  CurlSession(std::string userAgent, const HttpClientOptions& options, const std::string& caFile,
              ThreadPark& park)
      : m_userAgent(std::move(userAgent)), m_options(options), m_caFile(caFile), m_park(park) {}

  std::unique_ptr<IHttpRequest> OpenRequest(std::u16string_view url,
                                            const std::vector<std::string>& headerLines,
                                            IHttpEvents& events) override {
    const std::string address = Utf16ToUtf8(url);
    // Split the URL now, so a malformed one fails here rather than on the thread.
    CURLU* parts = curl_url();
    const bool valid = parts && curl_url_set(parts, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(parts);
    if (!valid) return nullptr;

    CURL* easy = curl_easy_init();
    if (!easy) return nullptr;
    curl_slist* headers = nullptr;
    for (const std::string& line : headerLines) {
      curl_slist* grown = curl_slist_append(headers, line.c_str());
      if (!grown) {
        curl_slist_free_all(headers);
        curl_easy_cleanup(easy);
        return nullptr;
      }
      headers = grown;
    }
    auto transfer = std::make_shared<CurlTransfer>(events, easy, headers);
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, address.c_str()) == CURLE_OK;
    // The engine checked the address itself; a redirect's target only libcurl sees, so it
    // keeps those to the web (a page must not reach file:// through a redirect).
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long{m_options.maxRedirects}) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERAGENT, m_userAgent.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT,
                                long{m_options.connectTimeoutSeconds}) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long{m_options.stallSeconds}) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!m_caFile.empty()) {
      ok = ok && curl_easy_setopt(easy, CURLOPT_CAINFO, m_caFile.c_str()) == CURLE_OK;
      ok = ok && curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr) == CURLE_OK;
    }
    if (!ok) return nullptr;
    return std::make_unique<CurlRequest>(std::move(transfer), m_park);
  }

 private:
  std::string m_userAgent;
  const HttpClientOptions& m_options;
  const std::string& m_caFile;
  ThreadPark& m_park;
};

class CurlHttpClient final : public IHttpClient {
 public:
  explicit CurlHttpClient(const HttpClientOptions& options)
      : m_options(options), m_caFile(Utf16ToUtf8(options.caFile)) {
    m_ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  }
  ~CurlHttpClient() override {
    m_park.reset();  // joins every transfer thread first
    if (m_ready) curl_global_cleanup();
  }

  std::unique_ptr<IHttpSession> OpenSession(std::u16string_view userAgent) override {
    if (!m_ready) return nullptr;
    return std::make_unique<CurlSession>(Utf16ToUtf8(userAgent), m_options, m_caFile, *m_park);
  }

 private:
  HttpClientOptions m_options;
  std::string m_caFile;
  bool m_ready = false;
  std::unique_ptr<ThreadPark> m_park = std::make_unique<ThreadPark>();
};

}  // namespace

std::unique_ptr<IHttpClient> CreateCurlHttpClient(const HttpClientOptions& options) {
  return std::make_unique<CurlHttpClient>(options);
}

}  // namespace zeva::posix

// The resumable download engine behind the page's DownloadFile and PauseDownload: one HTTP
// transfer per request into the client's Downloads folder, continued from the length of the
// file on disk, reported to the page through OnDownloadProgress.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "download/tool_table.h"
#include "download/transfer.h"
#include "host/page_callback.h"
#include "platform/http.h"
#include "platform/platform.h"

namespace zeva {

class DownloadEngine {
 public:
  // `http` must outlive the engine.
  DownloadEngine(const Platform& platform, IPageCallback& page, IHttpClient& http);
  // Stops every running transfer and waits for its handler: nothing runs or reports
  // afterwards. Partial files stay to be continued.
  ~DownloadEngine();
  DownloadEngine(const DownloadEngine&) = delete;
  DownloadEngine& operator=(const DownloadEngine&) = delete;

  // Dispatch slot 9: 1 when the transfer has started (later failures are reported), 0 when
  // refused: the key is downloading, the name is unsafe, the file cannot be opened or no
  // HTTP session can be had.
  int32_t DownloadFile(std::u16string_view url, std::u16string_view name, int32_t a, int32_t b);
  // Dispatch slot 10: 1 when the key has an entry (a running transfer stops at its next
  // event), else 0.
  int32_t PauseDownload(int32_t a, int32_t b);

  const ToolTable& Tools() const { return m_tools; }

  // The transfer's handler; its events land here.
  void OnHttpStatus(Transfer& transfer, HttpStatus status, uint64_t value);

 private:
  int32_t StartTransfer(std::u16string_view url, std::u16string_view path, int32_t low,
                        int32_t high, CompletionRoutine completion, std::atomic<int32_t>& pause);
  void SendRequest(Transfer& transfer, std::u16string_view url);
  void OnHeaders(Transfer& transfer);
  void OnEndOfBody(Transfer& transfer);
  void FinishTransfer(Transfer& transfer, int32_t code);
  void OnTransferEvent(int32_t code, const Transfer& transfer);

  const Platform& m_platform;
  IPageCallback& m_page;
  IHttpClient& m_http;
  ToolTable m_tools;

  // Transfers that have not begun to finish, and how many are finishing now; the destructor
  // stops the first and waits for the second.
  std::mutex m_liveMutex;
  std::condition_variable m_finished;
  std::set<Transfer*> m_live;
  int m_finishing = 0;
};

}  // namespace zeva

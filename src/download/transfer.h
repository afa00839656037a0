// One running transfer (TRANSFERINFO). It owns itself: StartTransfer creates it and
// FinishTransfer frees it, the only way a started transfer ends.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/http.h"

namespace zeva {

class DownloadEngine;

// One read's worth. Each chunk is written before the next read, so this is also the size of
// each write: at 4 KiB the system calls cost more than the bytes (a 1 GiB file took a quarter
// of a million writes); 64 KiB costs less CPU than curl's own 100 KiB pieces.
inline constexpr size_t kReceiveBufferSize = 64 * 1024;

// What an HTTP event was, as the engine's handler sees it.
enum class HttpStatus {
  kSendComplete,
  kHeadersAvailable,
  kDataAvailable,
  kReadComplete,
  kRequestError,
};

struct Transfer;
using CompletionRoutine = std::function<void(int32_t code, const Transfer& transfer)>;

struct Transfer final : IHttpEvents {
  Transfer(DownloadEngine& owner, int32_t low, int32_t high, CompletionRoutine routine,
           std::atomic<int32_t>& pause)
      : engine(owner),
        keyLow(low),
        keyHigh(high),
        completion(std::move(routine)),
        pauseRequest(pause) {}

  void OnSendComplete() override;
  void OnHeadersAvailable() override;
  void OnDataAvailable(uint64_t bytes) override;
  void OnReadComplete(size_t bytes) override;
  void OnRequestError() override;

  DownloadEngine& engine;
  // The target of every read: no allocation per chunk.
  std::array<unsigned char, kReceiveBufferSize> buffer{};
  uint32_t lastChunk = 0;
  std::unique_ptr<IHttpSession> session;
  std::unique_ptr<IHttpRequest> request;
  uint64_t received = 0;
  uint64_t startOffset = 0;
  uint64_t totalSize = 0;    // 0 when the reply gave no length
  uint64_t expectedEnd = 0;  // where the body must end; 0 when only the closed connection says
  std::unique_ptr<IFileWriter> file;
  std::u16string path;  // the file; its validator is kept beside it
  // The server's validator of the bytes on disk (resume_validator.h), sent as If-Range.
  std::optional<std::string> validator;
  int32_t keyLow;
  int32_t keyHigh;
  CompletionRoutine completion;
  std::atomic<int32_t>& pauseRequest;
};

}  // namespace zeva

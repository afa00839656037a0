#include "support/test_platform.h"

#include <algorithm>

#include "platform/port.h"

namespace zeva::test {
namespace {

class LimitedWriter final : public IFileWriter {
 public:
  LimitedWriter(std::unique_ptr<IFileWriter> real, uint64_t capacity)
      : m_real(std::move(real)), m_capacity(capacity) {}
  bool Write(const void* data, size_t size) override {
    const uint64_t room = m_capacity - std::min(m_capacity, m_real->Size());
    if (size <= room) return m_real->Write(data, size);
    m_real->Write(data, static_cast<size_t>(room));
    return false;
  }
  bool Truncate() override { return m_real->Truncate(); }
  bool Reserve(uint64_t size) override { return m_real->Reserve(size); }
  uint64_t Size() const override { return m_real->Size(); }
  bool Close() override { return m_real->Close(); }

 private:
  std::unique_ptr<IFileWriter> m_real;
  uint64_t m_capacity;
};

class FailingReader final : public IFileReader {
 public:
  FailingReader(std::unique_ptr<IFileReader> real, uint64_t readable)
      : m_real(std::move(real)), m_readable(readable) {}
  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    const std::optional<size_t> got = m_real->ReadAt(offset, data, size);
    if (got && offset + *got > m_readable) return std::nullopt;
    return got;
  }
  std::optional<uint64_t> Size() override { return m_real->Size(); }

 private:
  std::unique_ptr<IFileReader> m_real;
  uint64_t m_readable;
};

}  // namespace

std::unique_ptr<IFileReader> TestFileSystem::OpenForReading(std::u16string_view path) {
  std::unique_ptr<IFileReader> reader = m_real->OpenForReading(path);
  if (!reader || !readableBytes) return reader;
  return std::make_unique<FailingReader>(std::move(reader), *readableBytes);
}

std::unique_ptr<IFileWriter> TestFileSystem::CreateWithAttributes(std::u16string_view path,
                                                                  uint32_t attributes) {
  std::unique_ptr<IFileWriter> writer = m_real->CreateWithAttributes(path, attributes);
  if (!writer || !createdFileCapacity) return writer;
  return std::make_unique<LimitedWriter>(std::move(writer), *createdFileCapacity);
}

TestPlatform::TestPlatform()
    : files(CreateFileSystem()),
      codec(CreateTextCodec()),
      login(CreateLoginClient()),
      downloader(CreateFileDownloader()),
      diskSpace(CreateDiskSpace()),
      platform{files, *codec,  adapters,  instance, windows,     registry, dialogs,
               shell, toolkit, autostart, login,    *downloader, diskSpace} {}

TestPlatform::TestPlatform(const std::u16string& clientFolder) : TestPlatform() {
  files.executablePath = clientFolder + u"ZEVA.exe";
}

}  // namespace zeva::test

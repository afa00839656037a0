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
  uint64_t Size() const override { return m_real->Size(); }
  bool Close() override { return m_real->Close(); }

 private:
  std::unique_ptr<IFileWriter> m_real;
  uint64_t m_capacity;
};

}  // namespace

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
      platform{files,   *codec, adapters, instance,  windows, registry,
               dialogs, shell,  toolkit,  autostart, login,   *downloader} {}

TestPlatform::TestPlatform(const std::u16string& clientFolder) : TestPlatform() {
  files.executablePath = clientFolder + u"ZEVA.exe";
}

}  // namespace zeva::test

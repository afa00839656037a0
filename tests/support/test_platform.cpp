#include "support/test_platform.h"

#include "platform/port.h"

namespace zeva::test {

TestPlatform::TestPlatform()
    : files(CreateFileSystem()), codec(CreateTextCodec()), platform{files,    *codec,  adapters,
                                                                    instance, windows, registry,
                                                                    dialogs,  shell,   toolkit} {}

TestPlatform::TestPlatform(const std::u16string& clientFolder) : TestPlatform() {
  files.executablePath = clientFolder + u"ZEVA.exe";
}

}  // namespace zeva::test

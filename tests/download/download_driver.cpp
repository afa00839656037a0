// The engine in a process of its own: downloads one URL into <client folder>/Downloads and
// prints every report as "code high low value". Used by the killed-client test and the
// benchmark. Usage: zeva_download_driver <client folder> <url> <name>
#include <cstdio>
#include <cstring>

#include "download/download_engine.h"
#include "platform/http.h"
#include "platform/unicode.h"
#include "support/recording_page_callback.h"
#include "support/test_platform.h"

namespace {

class PrintingPage final : public zeva::IPageCallback {
 public:
  bool ReportToPage(int32_t code, int32_t high, int32_t low, int32_t value) override {
    std::printf("%d %d %d %d\n", code, high, low, value);
    std::fflush(stdout);
    return m_recorder.ReportToPage(code, high, low, value);
  }
  zeva::test::RecordingPageCallback m_recorder;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <client folder> <url> <name>\n", argv[0]);
    return 2;
  }
  std::u16string folder = zeva::Utf8ToUtf16(argv[1]);
  if (folder.empty() || folder.back() != u'/') folder += u'/';
  zeva::test::TestPlatform port(folder);
  PrintingPage page;
  const auto http = zeva::CreateHttpClient();
  int result = 1;
  {
    zeva::DownloadEngine engine(port.platform, page, *http);
    if (engine.DownloadFile(zeva::Utf8ToUtf16(argv[2]), zeva::Utf8ToUtf16(argv[3]), 0, 1) == 1) {
      result = page.m_recorder.WaitForEnd(0, 1, std::chrono::hours(1)).code == 2 ? 0 : 1;
    }
  }
  return result;
}

// A client folder, the port's real HTTP layer, a recording page and an engine, against the
// test peer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "download/download_engine.h"
#include "platform/http.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "support/recording_page_callback.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"
#include "test_peer.h"

namespace zeva::test {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_peer.Available()) GTEST_SKIP() << "no test server (ZEVA_TEST_SERVER is not set)";
  }

  std::u16string Url(const std::string& path) const { return Utf8ToUtf16(m_peer.BaseUrl() + path); }
  // Where a download of `name` lands.
  std::u16string OnDisk(std::u16string_view name) const {
    return m_folder.Path() + u"Downloads" + kPathSeparator + std::u16string(name);
  }
  void PutPartial(std::u16string_view name, std::string_view bytes) {
    std::filesystem::create_directories(NativePath(m_folder.Path() + u"Downloads"));
    WriteBytes(OnDisk(name), bytes);
  }
  void ResetEngine() {
    m_engine.reset();
    m_engine = std::make_unique<DownloadEngine>(m_port.platform, m_page, *m_http);
  }

  TestPeer m_peer;
  TempFolder m_folder;
  TestPlatform m_port{m_folder.Path()};
  RecordingPageCallback m_page;
  std::unique_ptr<IHttpClient> m_http = CreateHttpClient();
  std::unique_ptr<DownloadEngine> m_engine =
      std::make_unique<DownloadEngine>(m_port.platform, m_page, *m_http);
};

}  // namespace zeva::test

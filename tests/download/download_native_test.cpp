// Cases only the native build can set up: TLS with a test authority, a full disk, nginx as
// the peer, and a client process killed in the middle of a transfer or of an extraction.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "download/archive_extractor.h"
#include "download_fixture.h"
#include "support/fault_server.h"
#include "support/nginx_peer.h"
#include "support/sha256.h"

extern char** environ;

namespace zeva::test {
namespace {

TEST_F(DownloadTest, SecureDownloadTrustsOnlyAKnownAuthority) {
  TempFolder certs;
  TestCertificates files;
  if (!MakeTestCertificates(certs.Native().string(), files)) GTEST_SKIP() << "openssl failed";
  FaultServer secure(files.certFile, files.keyFile);
  const std::string name = BlobName(70000, 30);
  const std::u16string url = Utf8ToUtf16(secure.BaseUrl() + "/file/" + name);

  // The system's store does not know the test authority: refused.
  ASSERT_EQ(m_engine->DownloadFile(url, u"untrusted", 0, 30), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 30).code, -1);
  EXPECT_EQ(ReadBytes(OnDisk(u"untrusted")), "");

  const auto trusting = CreateHttpClient({.caFile = Utf8ToUtf16(files.caFile)});
  {
    DownloadEngine engine(m_port.platform, m_page, *trusting);
    PutPartial(Utf8ToUtf16(name), MakeBlob(70000, 30).substr(0, 1000));
    ASSERT_EQ(engine.DownloadFile(url, Utf8ToUtf16(name), 0, 31), 1);
    EXPECT_EQ(m_page.WaitForEnd(0, 31).code, 2);
  }
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(70000, 30));
  EXPECT_EQ(secure.Requests().back().range, "bytes=1000-");
}

TEST_F(DownloadTest, FullDiskFailsTheTransfer) {
  PutPartial(u"placeholder", "");
  std::filesystem::create_symlink("/dev/full", NativePath(OnDisk(u"full.bin")));
  const std::string name = BlobName(20000, 31);
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), u"full.bin", 0, 32), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 32), (PageReport{-1, 0, 32, 0}));
  EXPECT_EQ(m_engine->Tools().Find(MakeToolKey(0, 32))->state, -1);
}

class NginxDownloadTest : public DownloadTest {
 protected:
  void SetUp() override {
    if (!NginxPeer::Installed()) GTEST_SKIP() << "nginx is not installed";
    std::filesystem::create_directories(m_www.Native());
    m_nginx = std::make_unique<NginxPeer>(m_www.Native());
    ASSERT_TRUE(m_nginx->Running());
  }
  std::u16string NginxUrl(const std::string& name) const {
    return Utf8ToUtf16(m_nginx->BaseUrl() + "/" + name);
  }
  TempFolder m_www;
  std::unique_ptr<NginxPeer> m_nginx;
};

TEST_F(NginxDownloadTest, ResumesAgainstARealRangeImplementation) {
  const std::string source = MakeBlob(300000, 40);
  WriteBytes(m_www / u"addon.zip", source);
  // Fresh, then resumed from 1000 bytes, then already whole (nginx answers 416).
  ASSERT_EQ(m_engine->DownloadFile(NginxUrl("addon.zip"), u"fresh.zip", 1, 1), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 1).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(u"fresh.zip"))), Sha256Hex(source));

  PutPartial(u"resumed.zip", source.substr(0, 1000));
  ASSERT_EQ(m_engine->DownloadFile(NginxUrl("addon.zip"), u"resumed.zip", 1, 2), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 2).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(u"resumed.zip"))), Sha256Hex(source));

  m_page.Clear();
  ASSERT_EQ(m_engine->DownloadFile(NginxUrl("addon.zip"), u"resumed.zip", 1, 2), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 2), (PageReport{2, 1, 2, 100}));
  EXPECT_EQ(m_page.ReportsFor(1, 2).size(), 1u);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(u"resumed.zip"))), Sha256Hex(source));

  ASSERT_EQ(m_engine->DownloadFile(NginxUrl("nothing.zip"), u"nothing.zip", 1, 3), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 3).code, -1);
}

TEST_F(NginxDownloadTest, TwentyConcurrentDownloadsMatchTheirSources) {
  std::vector<std::string> sources;
  for (int i = 0; i < 20; ++i) {
    sources.push_back(MakeBlob(200000 + static_cast<size_t>(i) * 4099, 200 + i));
    WriteBytes(m_www / Utf8ToUtf16("f" + std::to_string(i)), sources.back());
    if (i % 2) PutPartial(Utf8ToUtf16("f" + std::to_string(i)), sources.back().substr(0, 1000));
  }
  for (int i = 0; i < 20; ++i) {
    const std::string name = "f" + std::to_string(i);
    ASSERT_EQ(m_engine->DownloadFile(NginxUrl(name), Utf8ToUtf16(name), 2, i), 1);
  }
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(m_page.WaitForEnd(2, i).code, 2);
    EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16("f" + std::to_string(i))))),
              Sha256Hex(sources[i]))
        << i;
  }
}

// The drivers are built beside this test program.
std::string DriverPath(const char* name = "zeva_download_driver") {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

TEST_F(DownloadTest, ClientKilledMidTransferLeavesAFileThatResumesExactly) {
  const size_t size = 400000;
  const std::string name = BlobName(size, 50);
  const std::string url = m_peer.BaseUrl() + "/drip/" + name + "?chunk=4000&ms=5";
  const std::string folder = m_folder.Native().string();

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const std::string driver = DriverPath();
  const char* argv[] = {driver.c_str(), folder.c_str(), url.c_str(), name.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(
      ::posix_spawn(&pid, driver.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);

  // Kill it once it reports a third of the file, without letting it end anything itself.
  FILE* reports = ::fdopen(pipeFds[0], "r");
  int code = 0, high = 0, low = 0, value = 0;
  bool midway = false;
  while (std::fscanf(reports, "%d %d %d %d", &code, &high, &low, &value) == 4) {
    if (code == 1 && value >= 33) {
      midway = true;
      break;
    }
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::fclose(reports);
  ASSERT_TRUE(midway);
  ASSERT_TRUE(WIFSIGNALED(status));

  const std::string source = MakeBlob(size, 50);
  const std::string partial = ReadBytes(OnDisk(Utf8ToUtf16(name)));
  ASSERT_LT(partial.size(), size);
  EXPECT_EQ(partial, source.substr(0, partial.size()));

  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 1), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 1).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))), Sha256Hex(source));
  const auto seen = m_peer.Requests();
  EXPECT_EQ(seen->back().range, "bytes=" + std::to_string(partial.size()) + "-");
}

TEST(KilledExtractionTest, NoFileUnderAnEntrysNameIsEverPartial) {
  TempFolder folder;
  constexpr size_t kEntrySize = 16 << 20;
  constexpr int kEntries = 6;
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < kEntries; ++i) {
    entries.emplace_back(BlobName(kEntrySize, 70 + i), MakeBlob(kEntrySize, 70 + i));
  }
  const std::u16string archive = folder / u"addon.zip";
  WriteBytes(archive, MakeStoredZip(std::move(entries)));
  // Every entry replaces a file of an older add-on.
  const std::u16string target = folder / u"game" + kPathSeparator;
  std::filesystem::create_directories(NativePath(target));
  for (int i = 0; i < kEntries; ++i) {
    WriteBytes(target + Utf8ToUtf16(BlobName(kEntrySize, 70 + i)), "before");
  }
  const auto listing = [&] {
    std::map<std::string, uintmax_t> sizes;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(target))) {
      std::error_code gone;  // a file renamed away meanwhile
      sizes[entry.path().filename().string()] = entry.file_size(gone);
    }
    return sizes;
  };
  const auto before = listing();

  const std::string driver = DriverPath("zeva_unzip_driver");
  const std::string archiveArg = NativePath(archive).string(), targetArg = NativePath(target);
  const char* argv[] = {driver.c_str(), archiveArg.c_str(), targetArg.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(
      ::posix_spawn(&pid, driver.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  // Killed as soon as the folder shows that writing has begun.
  int status = 0;
  bool ended = false;
  while (listing() == before && !ended) ended = ::waitpid(pid, &status, WNOHANG) == pid;
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(WIFSIGNALED(status));

  int replaced = 0;
  for (int i = 0; i < kEntries; ++i) {
    const std::string bytes = ReadBytes(target + Utf8ToUtf16(BlobName(kEntrySize, 70 + i)));
    if (bytes == "before") continue;
    EXPECT_EQ(Sha256Hex(bytes), Sha256Hex(MakeBlob(kEntrySize, 70 + i))) << i;
    ++replaced;
  }
  EXPECT_LT(replaced, kEntries);

  // The next extraction completes, and nothing but the entries is left.
  TestPlatform port;
  ASSERT_EQ(UnzipFile(port.platform, archive, target), 1);
  EXPECT_EQ(listing().size(), static_cast<size_t>(kEntries));
}

}  // namespace
}  // namespace zeva::test

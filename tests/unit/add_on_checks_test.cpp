// What pages check before an add-on touches the game: a file's SHA-256, the free space of a
// folder's volume, and a download's figures, through the script interface as pages call them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "download/sha256.h"
#include "download/tool_table.h"
#include "download/transfer_rate.h"
#include "host/external_dispatcher.h"
#include "platform/path_style.h"
#include "support/sha256.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using test::TempFolder;
using test::WriteBytes;
using V = ScriptValue;
using namespace std::chrono_literals;

std::string HashInPieces(std::string_view bytes, bool useCpuExtensions) {
  Sha256 hash(useCpuExtensions);
  // Pieces that start inside a block, fill one exactly and cross several.
  for (size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1) {
    hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
  return ToHex(hash.Finish());
}

TEST(Sha256Test, KnownDigestsOnEveryEngine) {
  const struct {
    std::string bytes;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HashInPieces(c.bytes, false), c.digest) << c.bytes.size();
    EXPECT_EQ(HashInPieces(c.bytes, true), c.digest) << c.bytes.size();
  }
  std::printf("SHA extensions of this processor in use: %s\n",
              Sha256::CpuExtensionsAvailable() ? "yes" : "no");
}

TEST(Sha256Test, EveryLengthAroundTheBlockAndThePaddingAgreesWithTheReference) {
  std::string bytes;
  for (size_t size = 0; size <= 300; ++size) {
    EXPECT_EQ(HashInPieces(bytes, false), test::Sha256Hex(bytes)) << size;
    EXPECT_EQ(HashInPieces(bytes, true), test::Sha256Hex(bytes)) << size;
    bytes += static_cast<char>(size * 7 + 1);
  }
}

class AddOnChecksTest : public ::testing::Test {
 protected:
  InvokeResult Call(std::u16string_view name, std::vector<ScriptValue> args,
                    std::u16string_view page = m_portal) {
    const int32_t id = FindMethod(name);
    EXPECT_GT(id, 29) << std::string(name.begin(), name.end());
    return m_dispatcher.Invoke(id, args, page);
  }
  std::u16string Hash(std::u16string_view path) {
    const InvokeResult result = Call(u"GetFileSha256", {V::String(std::u16string(path))});
    EXPECT_EQ(result.error, kSOk);
    EXPECT_EQ(result.value.type, ScriptValue::Type::kString);
    return result.value.text;
  }
  double Number(std::u16string_view name, std::vector<ScriptValue> args) {
    const InvokeResult result = Call(name, std::move(args));
    EXPECT_EQ(result.error, kSOk);
    EXPECT_EQ(result.value.type, ScriptValue::Type::kDouble);
    return result.value.number;
  }

  static inline const std::u16string m_portal =
      std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx?ToolId=1";
  TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  PageRegistration m_page;
  ToolTable m_tools;
  ScriptHostLinks m_links{
      nullptr, nullptr,
      nullptr, nullptr,
      nullptr, [this](int32_t a, int32_t b) { return m_tools.Figures(MakeToolKey(a, b)); }};
  ExternalDispatcher m_dispatcher{m_test.platform, m_page, m_links};
};

TEST_F(AddOnChecksTest, MethodsFollowTheTwentyNineInTheirOrder) {
  EXPECT_EQ(FindMethod(u"getfilesha256"), 30);
  EXPECT_EQ(FindMethod(u"GETDISKFREESPACE"), 31);
  EXPECT_EQ(FindMethod(u"GetDownloadedBytes"), 32);
  EXPECT_EQ(FindMethod(u"GetDownloadTotalBytes"), 33);
  EXPECT_EQ(FindMethod(u"GetDownloadSpeed"), 34);
  EXPECT_EQ(FindMethod(u"getDownloadTimeLeft"), 35);
  EXPECT_EQ(MethodTable().size(), 35u);
}

TEST_F(AddOnChecksTest, FileDigests) {
  const std::u16string empty = m_folder / u"empty.zip", small = m_folder / u"小.zip";
  WriteBytes(empty, "");
  WriteBytes(small, "abc");
  EXPECT_EQ(Hash(empty), u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hash(small), u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  // Sizes around the read size: the pieces of a file join up.
  for (size_t size : {size_t{256 * 1024 - 1}, size_t{256 * 1024}, size_t{512 * 1024 + 1}}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::u16string file = m_folder / u"piece.bin";
    WriteBytes(file, bytes);
    const std::string expected = test::Sha256Hex(bytes);
    EXPECT_EQ(Hash(file), std::u16string(expected.begin(), expected.end())) << size;
  }

  // Nothing to read: no digest, never the digest of nothing.
  EXPECT_EQ(Hash(m_folder / u"missing.zip"), u"");
  EXPECT_EQ(Hash(m_folder.Path()), u"");
  EXPECT_EQ(Hash(u""), u"");
  // A medium that fails part way: no digest of the part that could be read.
  m_test.files.readableBytes = 100000;
  const std::u16string large = m_folder / u"large.bin";
  WriteBytes(large, std::string(300000, 'x'));
  EXPECT_EQ(Hash(large), u"");
  EXPECT_EQ(Hash(small), u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST_F(AddOnChecksTest, DigestOfASparseFilePastFourGigabytes) {
  // 2^32 + 7 bytes, almost all a hole: offsets and lengths past 32 bits, in constant memory.
  const std::u16string file = m_folder / u"sparse.bin";
  {
    std::ofstream out(test::NativePath(file), std::ios::binary);
    out.seekp((int64_t{1} << 30) * 3);
    out.write("ZEVA", 4);
    out.seekp((int64_t{1} << 32) + 4);
    out.write("end", 3);
    ASSERT_TRUE(out.good());
  }
  ASSERT_EQ(std::filesystem::file_size(test::NativePath(file)), (uint64_t{1} << 32) + 7);
  // As sha256sum gives it for the same bytes.
  EXPECT_EQ(Hash(file), u"95ffe78dfcb61d3d0925d6ebdfd15bb50d932d73c1a86474e7682b9545523e59");
}

TEST_F(AddOnChecksTest, FreeSpaceOfTheVolumeHoldingAFolder) {
  const double free = Number(u"GetDiskFreeSpace", {V::String(m_folder.Path())});
  EXPECT_GT(free, 0);
  // The bytes an unprivileged writer has, not blocks or the root's reserve.
  const double available = static_cast<double>(std::filesystem::space(m_folder.Native()).available);
  EXPECT_LT(std::abs(free - available), 1024.0 * 1024 * 1024) << free << " " << available;

  const std::u16string file = m_folder / u"file.txt";
  WriteBytes(file, "x");
  m_test.diskSpace.asked.clear();
  for (const std::u16string& path : {m_folder / u"missing", file, std::u16string()}) {
    EXPECT_EQ(Number(u"GetDiskFreeSpace", {V::String(path)}), -1);
  }
  EXPECT_TRUE(m_test.diskSpace.asked.empty());  // only existing folders reach the system
  m_test.diskSpace.answer.emplace(std::nullopt);
  EXPECT_EQ(Number(u"GetDiskFreeSpace", {V::String(m_folder.Path())}), -1);

  // Past 2^31 and 2^32 bytes the page gets the exact count (as far as 2^53).
  for (uint64_t bytes : {uint64_t{0}, (uint64_t{1} << 31) + 1, (uint64_t{6} << 40) + 12345,
                         (uint64_t{1} << 53) - 1}) {
    m_test.diskSpace.answer = bytes;
    EXPECT_EQ(Number(u"GetDiskFreeSpace", {V::String(m_folder.Path())}),
              static_cast<double>(bytes));
  }
}

// The engine's own figures are tested with real transfers (tests/download); here, what the
// table gives a page before a length is known and past 32 bits.
TEST_F(AddOnChecksTest, DownloadFiguresOfATable) {
  auto figures = [&](int32_t a, int32_t b) {
    std::vector<double> values;
    for (const char16_t* name : {u"GetDownloadedBytes", u"GetDownloadTotalBytes",
                                 u"GetDownloadSpeed", u"GetDownloadTimeLeft"}) {
      values.push_back(Number(name, {V::Int32(a), V::Int32(b)}));
    }
    return values;
  };
  EXPECT_EQ(figures(17, 1), (std::vector<double>{-1, -1, -1, -1}));
  ASSERT_TRUE(m_tools.Begin(17, -1));
  const ToolKey key = MakeToolKey(17, -1);
  m_tools.Progress(key, 0, 4096);
  EXPECT_EQ(figures(17, -1), (std::vector<double>{4096, -1, 0, -1}));
  const uint64_t big = (uint64_t{5} << 32) + 3;
  m_tools.Progress(key, big, big - 1);
  EXPECT_EQ(figures(17, -1)[0], static_cast<double>(big - 1));
  EXPECT_EQ(figures(17, -1)[1], static_cast<double>(big));
}

TEST_F(AddOnChecksTest, RefusalsAsForEveryMethod) {
  const std::u16string file = m_folder / u"a.zip";
  WriteBytes(file, "abc");
  EXPECT_EQ(Call(u"GetFileSha256", {}).error, kDispEParamNotOptional);
  EXPECT_EQ(Call(u"GetFileSha256", {V::String(file), V::String(file)}).error, kDispEBadParamCount);
  EXPECT_EQ(Call(u"GetDiskFreeSpace", {V::Null()}).error, kDispETypeMismatch);
  EXPECT_EQ(Call(u"GetDownloadSpeed", {V::Int32(17)}).error, kDispEParamNotOptional);
  EXPECT_EQ(Call(u"GetDownloadTimeLeft", {V::Int32(1), V::Int32(2), V::Int32(3)}).error,
            kDispEBadParamCount);
  const InvokeResult mismatch = Call(u"GetDownloadedBytes", {V::Int32(17), V::String(u"x")});
  EXPECT_EQ(mismatch.error, kDispETypeMismatch);
  EXPECT_EQ(mismatch.argumentIndex, 1u);
  EXPECT_EQ(Call(u"GetDownloadTotalBytes", {V::Double(3e10), V::Int32(1)}).error, kDispEOverflow);
  // Converted like every other method: numbers as text, text as numbers.
  EXPECT_EQ(Number(u"GetDownloadSpeed", {V::String(u"17"), V::Double(1.0)}), -1);
  EXPECT_EQ(Hash(u"42"), u"");
  EXPECT_EQ(m_dispatcher.Invoke(kMethodCount + 1, {}, m_portal).error, kDispEMemberNotFound);
  // Other origins learn nothing, not even whether a file exists.
  for (const char16_t* name : {u"GetFileSha256", u"GetDiskFreeSpace"}) {
    EXPECT_EQ(Call(name, {V::String(file)}, u"http://evil.example/").error, kEAccessDenied);
  }
  EXPECT_EQ(Call(u"GetDownloadSpeed", {V::Int32(1), V::Int32(2)}, u"about:blank").error,
            kEAccessDenied);
}

TEST(TransferRateTest, SpeedOverTheLastSeconds) {
  using Clock = TransferRate::Clock;
  const Clock::time_point start{};
  TransferRate rate;
  EXPECT_EQ(rate.BytesPerSecond(start), 0);
  rate.Add(start, 1000000);  // a resumed file: what was there counts for nothing
  EXPECT_EQ(rate.BytesPerSecond(start + 1s), 0);

  // 1000 bytes every 10 ms for 10 s, then 4000: the speed follows the recent seconds.
  uint64_t bytes = 1000000;
  Clock::time_point now = start;
  for (int i = 0; i < 1000; ++i) rate.Add(now += 10ms, bytes += 1000);
  EXPECT_NEAR(rate.BytesPerSecond(now), 100000, 1000);
  for (int i = 0; i < 500; ++i) rate.Add(now += 10ms, bytes += 4000);
  EXPECT_NEAR(rate.BytesPerSecond(now), 400000, 4000);
  // A stall lowers it, and a whole window without bytes ends it.
  EXPECT_LT(rate.BytesPerSecond(now + 1s), 400000 * 0.9);
  EXPECT_EQ(rate.BytesPerSecond(now + TransferRate::kWindow), 0);
  // The count falling back (the file started again) starts the measure again.
  rate.Add(now += 10ms, 0);
  rate.Add(now += 1s, 50000);
  EXPECT_NEAR(rate.BytesPerSecond(now), 50000, 1);
  rate.Restart();
  EXPECT_EQ(rate.BytesPerSecond(now), 0);
}

}  // namespace
}  // namespace zeva

#include "byte_range.h"

#include <gtest/gtest.h>

namespace zeva::toolserver {
namespace {

using Kind = ByteRange::Kind;

struct Case {
  const char* header;
  std::uint64_t size;
  Kind kind;
  std::uint64_t first;
  std::uint64_t length;
};

TEST(ByteRangeTest, ResolvesSingleRangesAgainstTheSize) {
  const Case cases[] = {
      {"", 1000, Kind::kWhole, 0, 0},
      {"bytes=0-", 1000, Kind::kPart, 0, 1000},
      {"bytes=100-", 1000, Kind::kPart, 100, 900},  // the client's resume request
      {"bytes=999-", 1000, Kind::kPart, 999, 1},
      {"bytes=0-0", 1000, Kind::kPart, 0, 1},
      {"bytes=990-5000", 1000, Kind::kPart, 990, 10},  // an end past the file is cut
      {"bytes=-10", 1000, Kind::kPart, 990, 10},
      {"bytes=-5000", 1000, Kind::kPart, 0, 1000},
      {"Bytes = 5-9", 1000, Kind::kWhole, 0, 0},  // not "bytes=": not a range we know
      {"BYTES=5-9", 1000, Kind::kPart, 5, 5},
      {" bytes= 5 - 9 ", 1000, Kind::kPart, 5, 5},
  };
  for (const Case& c : cases) {
    ByteRange range = ResolveByteRange(c.header, c.size);
    EXPECT_EQ(range.kind, c.kind) << c.header;
    if (c.kind == Kind::kPart) {
      EXPECT_EQ(range.first, c.first) << c.header;
      EXPECT_EQ(range.length, c.length) << c.header;
    }
  }
}

TEST(ByteRangeTest, RangesThatCannotBeMetAreUnsatisfiable) {
  // The client asks for "its length onwards" once its file is complete.
  EXPECT_EQ(ResolveByteRange("bytes=1000-", 1000).kind, Kind::kUnsatisfiable);
  EXPECT_EQ(ResolveByteRange("bytes=5000-6000", 1000).kind, Kind::kUnsatisfiable);
  EXPECT_EQ(ResolveByteRange("bytes=0-", 0).kind, Kind::kUnsatisfiable);
  EXPECT_EQ(ResolveByteRange("bytes=-0", 1000).kind, Kind::kUnsatisfiable);
  EXPECT_EQ(ResolveByteRange("bytes=-5", 0).kind, Kind::kUnsatisfiable);
}

TEST(ByteRangeTest, MalformedBytesRangesAreUnsatisfiable) {
  for (const char* header : {"bytes=", "bytes=-", "bytes=abc", "bytes=5-3", "bytes=1-x",
                             "bytes=+1-2", "bytes=99999999999999999999999-", "bytes=5"}) {
    EXPECT_EQ(ResolveByteRange(header, 1000).kind, Kind::kUnsatisfiable) << header;
  }
}

TEST(ByteRangeTest, OtherUnitsAndSeveralRangesGetTheWholeBody) {
  EXPECT_EQ(ResolveByteRange("items=0-5", 1000).kind, Kind::kWhole);
  EXPECT_EQ(ResolveByteRange("bytes=0-1,5-6", 1000).kind, Kind::kWhole);
}

TEST(ByteRangeTest, HandlesSizesBeyondFourGibibytes) {
  const std::uint64_t size = 6ULL << 30;
  ByteRange range = ResolveByteRange("bytes=5368709120-", size);
  ASSERT_EQ(range.kind, Kind::kPart);
  EXPECT_EQ(range.first, 5ULL << 30);
  EXPECT_EQ(range.length, 1ULL << 30);
}

}  // namespace
}  // namespace zeva::toolserver

#include "icns/icns.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> b) { return {b.begin(), b.end()}; }

TEST(IcnsParse, RejectsEveryBadLength) {
  const struct {
    const char* name;
    std::vector<uint8_t> file;
    icns::ParseError error;
  } cases[] = {
      {"short", bytes({'i', 'c', 'n'}), icns::ParseError::kTooShort},
      {"magic", bytes({'i', 'c', 'n', 'x', 0, 0, 0, 8}), icns::ParseError::kBadMagic},
      {"length past end", bytes({'i', 'c', 'n', 's', 0, 0, 0, 9}),
       icns::ParseError::kBadFileLength},
      {"length under header", bytes({'i', 'c', 'n', 's', 0, 0, 0, 7}),
       icns::ParseError::kBadFileLength},
      {"chunk length 7", bytes({'i', 'c', 'n', 's', 0, 0, 0, 16, 'i', 'c', 'p', '4', 0, 0, 0, 7}),
       icns::ParseError::kBadChunkLength},
      {"chunk length 0", bytes({'i', 'c', 'n', 's', 0, 0, 0, 16, 'i', 'c', 'p', '4', 0, 0, 0, 0}),
       icns::ParseError::kBadChunkLength},
      {"chunk past end", bytes({'i', 'c', 'n', 's', 0, 0, 0, 16, 'i', 'c', 'p', '4', 0, 0, 0, 9}),
       icns::ParseError::kBadChunkLength},
      {"half a chunk header", bytes({'i', 'c', 'n', 's', 0, 0, 0, 12, 'i', 'c', 'p', '4'}),
       icns::ParseError::kBadChunkLength},
      {"huge chunk",
       bytes({'i', 'c', 'n', 's', 0, 0, 0, 16, 'i', 'c', 'p', '4', 0xFF, 0xFF, 0xFF, 0xFF}),
       icns::ParseError::kBadChunkLength},
  };
  for (const auto& c : cases) {
    const auto result = icns::parse(c.file);
    ASSERT_EQ(result.index(), 1u) << c.name;
    EXPECT_EQ(std::get<1>(result), c.error) << c.name;
  }
}

TEST(IcnsParse, RefusesMoreChunksThanTheLimit) {
  const auto withChunks = [](size_t n) {
    std::vector<icns::Chunk> chunks(n, icns::Chunk{icns::fourcc("info"), {}});
    return icns::write(chunks);
  };
  EXPECT_EQ(icns::parse(withChunks(platform::kLimits.maxContainerChunks)).index(), 0u);
  const auto over = icns::parse(withChunks(platform::kLimits.maxContainerChunks + 1));
  ASSERT_EQ(over.index(), 1u);
  EXPECT_EQ(std::get<1>(over), icns::ParseError::kTooManyChunks);
}

TEST(IcnsParse, WriteThenParseKeepsChunksInOrder) {
  const std::vector<uint8_t> a = {1, 2, 3}, b;
  const std::vector<icns::Chunk> chunks = {{icns::fourcc("ic10"), a}, {icns::fourcc("info"), b}};
  const std::vector<uint8_t> file = icns::write(chunks);
  EXPECT_EQ(file.size(), 8u + 11 + 8);
  EXPECT_EQ(file[7], file.size());
  const auto parsed = icns::parse(file);
  ASSERT_EQ(parsed.index(), 0u);
  const auto& back = std::get<0>(parsed);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].type, icns::fourcc("ic10"));
  EXPECT_TRUE(std::equal(back[0].data.begin(), back[0].data.end(), a.begin(), a.end()));
  EXPECT_TRUE(back[1].data.empty());
}

TEST(IcnsArgb, RoundTripsAnyPixels) {
  std::mt19937 rng(7);
  for (int edge : {16, 32}) {
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<uint8_t> rgba(size_t(edge) * edge * 4);
      for (size_t i = 0; i < rgba.size(); ++i) {
        // Noise, long runs, and runs that end exactly at plane boundaries.
        rgba[i] = kind == 0 ? uint8_t(rng()) : kind == 1 ? uint8_t(i / 300) : uint8_t(i % 4 * 60);
      }
      const std::vector<uint8_t> payload = icns::encodeArgb(rgba, edge);
      ASSERT_EQ(std::string(payload.begin(), payload.begin() + 4), "ARGB");
      std::vector<uint8_t> back(rgba.size());
      ASSERT_TRUE(icns::decodeArgb(std::span(payload).subspan(4), edge, back.data()));
      EXPECT_EQ(back, rgba) << edge << " " << kind;
      if (kind == 2) {
        EXPECT_LT(payload.size(), rgba.size() / 20);
      }
    }
  }
}

TEST(IcnsArgb, RefusesRunsThatCrossPlanesAndShortOrLongData) {
  std::vector<uint8_t> out(16 * 16 * 4);
  // 256 alpha bytes as two runs of 130, overrunning the first plane.
  EXPECT_FALSE(icns::decodeArgb(bytes({0xFF, 1, 0xFF, 1}), 16, out.data()));
  // Literal count beyond the data.
  EXPECT_FALSE(icns::decodeArgb(bytes({0x7F, 1, 2}), 16, out.data()));
  EXPECT_FALSE(icns::decodeArgb({}, 16, out.data()));
  // Exact planes, then one byte too many.
  std::vector<uint8_t> exact;
  for (int plane = 0; plane < 4; ++plane)
    for (int k = 0; k < 2; ++k) exact.insert(exact.end(), {0xFD, 9});  // 128 + 128
  EXPECT_TRUE(icns::decodeArgb(exact, 16, out.data()));
  exact.push_back(0);
  EXPECT_FALSE(icns::decodeArgb(exact, 16, out.data()));
}

}  // namespace

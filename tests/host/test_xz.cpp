#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "lib/xz.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

Bytes Text(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t("installer data "[i % 15]);
  return b;
}

Bytes Encode(const Bytes& plain, vk::XzCheck check = vk::XzCheck::Crc64) {
  Bytes out;
  EXPECT_TRUE(vk::XzEncode(plain.data(), plain.size(), out, 6, check));
  return out;
}

TEST(Xz, RoundTripsAndEncodesDeterministically) {
  for (auto check : {vk::XzCheck::Crc32, vk::XzCheck::Crc64}) {
    for (const Bytes& plain : {Bytes(), Text(5), Text(300000), Noise(70000, 1)}) {
      const Bytes packed = Encode(plain, check);
      EXPECT_EQ(packed, Encode(plain, check));
      Bytes out{9, 9};
      ASSERT_TRUE(vk::XzDecode(packed.data(), packed.size(), out, SIZE_MAX)) << plain.size();
      EXPECT_EQ(out, plain);
    }
  }
}

TEST(Xz, ConcatenatedStreamsDecodeToTheJoinedData) {
  const Bytes a = Text(40000), b = Noise(30000, 2);
  Bytes packed = Encode(a);
  const Bytes second = Encode(b, vk::XzCheck::Crc32);
  packed.insert(packed.end(), second.begin(), second.end());
  Bytes out;
  ASSERT_TRUE(vk::XzDecode(packed.data(), packed.size(), out, SIZE_MAX));
  Bytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(out, joined);
}

TEST(Xz, DamagedInputFailsAndLeavesNoOutput) {
  const Bytes packed = Encode(Noise(50000, 3));
  Bytes flipped = packed;
  flipped[flipped.size() / 2] ^= 0x40;
  Bytes trailing = packed;
  trailing.insert(trailing.end(), {'x', 'y', 'z', '!'});
  struct Case {
    const char* name;
    Bytes input;
  };
  const Case cases[] = {
      {"truncated", Bytes(packed.begin(), packed.end() - 10)},
      {"only the first half", Bytes(packed.begin(), packed.begin() + packed.size() / 2)},
      {"garbage", Noise(1000, 4)},
      {"a flipped byte", flipped},
      {"garbage after the stream", trailing},
      {"empty", Bytes()},
  };
  for (const auto& c : cases) {
    Bytes out{1};
    EXPECT_FALSE(vk::XzDecode(c.input.data(), c.input.size(), out, SIZE_MAX)) << c.name;
    EXPECT_TRUE(out.empty()) << c.name;
  }
}

// Many copies of one small stream: a little input that unpacks to a great deal.
Bytes Expanding(size_t streamSize, size_t copies) {
  const Bytes one = Encode(Bytes(streamSize));
  Bytes packed;
  for (size_t i = 0; i < copies; ++i) packed.insert(packed.end(), one.begin(), one.end());
  return packed;
}

TEST(Xz, OutputAboveTheCapFailsWithoutGrowingPastIt) {
  const Bytes plain = Text(100000);
  const Bytes packed = Encode(plain);
  Bytes out;
  EXPECT_TRUE(vk::XzDecode(packed.data(), packed.size(), out, plain.size()));
  EXPECT_EQ(out, plain);
  EXPECT_FALSE(vk::XzDecode(packed.data(), packed.size(), out, plain.size() - 1));
  EXPECT_TRUE(out.empty());

  // 64 MiB from a few kilobytes, against a cap of 1 MiB.
  const Bytes bomb = Expanding(size_t(8) << 20, 8);
  ASSERT_LT(bomb.size(), 20000u);
  Bytes small;
  EXPECT_FALSE(vk::XzDecode(bomb.data(), bomb.size(), small, size_t(1) << 20));
  EXPECT_TRUE(small.empty());
  EXPECT_LE(small.capacity(), (size_t(1) << 20) + 1);
}

TEST(Xz, ProgressIsRateLimitedAndCanStopTheDecode) {
  const Bytes plain = Noise(400000, 5);
  const Bytes packed = Encode(plain);
  uint64_t now = 1000;
  const vk::MillisecondClock clock = [&] { return now += 70; };

  std::vector<uint64_t> times;
  uint64_t lastIn = 0, lastBits = 0;
  Bytes out;
  ASSERT_TRUE(vk::XzDecode(packed.data(), packed.size(), out, SIZE_MAX,
                           [&](uint64_t in, uint64_t total, uint64_t bits) {
                             EXPECT_EQ(total, packed.size());
                             EXPECT_LE(in, total);
                             EXPECT_GE(in, lastIn);
                             EXPECT_GE(bits, lastBits);
                             EXPECT_EQ(bits % 8, 0u);
                             lastIn = in, lastBits = bits;
                             times.push_back(now);
                             return false;
                           },
                           clock));
  EXPECT_EQ(out, plain);
  ASSERT_GE(times.size(), 3u);
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 201u);

  int calls = 0;
  EXPECT_FALSE(vk::XzDecode(packed.data(), packed.size(), out, SIZE_MAX, [&](uint64_t, uint64_t, uint64_t) { return ++calls == 2; },
                            clock));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(out.empty());
}

TEST(XzDecoder, DecodesPieceByPieceIntoTheSink) {
  const Bytes a = Noise(150000, 6), b = Text(200000);
  Bytes packed = Encode(a);
  const Bytes second = Encode(b);
  packed.insert(packed.end(), second.begin(), second.end());
  Bytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());

  for (size_t step : {size_t(1), size_t(777), size_t(16384), packed.size()}) {
    vk::XzDecoder decoder;
    Bytes out;
    size_t largest = 0;
    auto sink = [&](const uint8_t* p, size_t n) {
      largest = std::max(largest, n);
      out.insert(out.end(), p, p + n);
    };
    vk::XzDecoder::Status status = vk::XzDecoder::Status::More;
    for (size_t pos = 0; pos < packed.size(); pos += step) {
      const size_t n = std::min(step, packed.size() - pos);
      status = decoder.feed(packed.data() + pos, n, pos + n == packed.size(), sink);
      if (pos + n < packed.size()) {
        ASSERT_EQ(status, vk::XzDecoder::Status::More) << step;
      }
    }
    EXPECT_EQ(status, vk::XzDecoder::Status::End) << step;
    EXPECT_EQ(out, joined) << step;
    EXPECT_LE(largest, vk::XzDecoder::outputPiece);
    EXPECT_EQ(decoder.totalOut(), joined.size());
  }
}

TEST(XzDecoder, TruncatedOrDamagedStreamEndsInError) {
  const Bytes packed = Encode(Text(100000));
  vk::XzDecoder decoder;
  EXPECT_EQ(decoder.feed(packed.data(), packed.size() - 1, false, {}), vk::XzDecoder::Status::More);
  EXPECT_EQ(decoder.feed(nullptr, 0, true, {}), vk::XzDecoder::Status::Error);

  decoder.reset();
  const Bytes garbage = Noise(5000, 7);
  EXPECT_EQ(decoder.feed(garbage.data(), garbage.size(), true, {}), vk::XzDecoder::Status::Error);

  // Usable again after reset.
  decoder.reset();
  EXPECT_EQ(decoder.feed(packed.data(), packed.size(), true, {}), vk::XzDecoder::Status::End);
}

}  // namespace

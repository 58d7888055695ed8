#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_bytes.h"
#include "wire/framing.h"

using frame::Reader;

namespace {
// Feeds `stream` in pieces of `piece` bytes and collects every message; stops at kBad.
std::vector<Bytes> Collect(Reader& r, const Bytes& stream, size_t piece, bool& bad) {
  std::vector<Bytes> out;
  bad = false;
  for (size_t at = 0; at < stream.size() && !bad; at += piece) {
    r.Feed(stream.data() + at, std::min(piece, stream.size() - at));
    Bytes m;
    for (;;) {
      const auto s = r.Next(m);
      if (s == Reader::Status::kMessage) {
        out.push_back(m);
      } else {
        bad = s == Reader::Status::kBad;
        break;
      }
    }
  }
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
}  // namespace

TEST(Framing, EncodePutsALittleEndianLengthFirst) {
  const Bytes msg = {12, 0, 0, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(frame::Encode(msg.data(), msg.size()), Cat({{12, 0, 0, 0}, msg}));
  Bytes big(888, 7);
  const Bytes framed = frame::Encode(big.data(), big.size());
  EXPECT_EQ(Bytes(framed.begin(), framed.begin() + 4), (Bytes{0x78, 0x03, 0, 0}));
}

TEST(Framing, MessagesComeOutWholeHoweverTheStreamIsCut) {
  const Bytes a = {13};
  const Bytes b(888, 0xAB);
  const Bytes c(102, 0x11);
  const Bytes stream = Cat({frame::Encode(a.data(), a.size()), frame::Encode(b.data(), b.size()),
                            frame::Encode(c.data(), c.size())});
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{5}, size_t{100}, stream.size()}) {
    Reader r(1000);
    bool bad = false;
    const auto messages = Collect(r, stream, piece, bad);
    EXPECT_FALSE(bad) << piece;
    EXPECT_EQ(messages, (std::vector<Bytes>{a, b, c})) << "pieces of " << piece;
    EXPECT_EQ(r.Buffered(), 0u);
  }
}

TEST(Framing, LengthZeroOrOverTheLimitIsABrokenPeer) {
  struct Case {
    const char* what;
    Bytes stream;
    size_t messagesBefore;
    bool bad;
  } cases[] = {
      {"exactly the limit", Cat({{16, 0, 0, 0}, Bytes(16, 1)}), 1, false},
      {"one over the limit", Cat({{17, 0, 0, 0}, Bytes(17, 1)}), 0, true},
      {"huge length", {0xFF, 0xFF, 0xFF, 0xFF}, 0, true},
      {"zero length", {0, 0, 0, 0, 1, 0, 0, 0, 9}, 0, true},
      {"good then bad", Cat({{1, 0, 0, 0, 9}, {0xFF, 0, 0, 0}}), 1, true},
      {"header only, then nothing", {5, 0, 0, 0}, 0, false},
  };
  for (const auto& c : cases) {
    Reader r(16);
    bool bad = false;
    EXPECT_EQ(Collect(r, c.stream, c.stream.size(), bad).size(), c.messagesBefore) << c.what;
    EXPECT_EQ(bad, c.bad) << c.what;
    if (c.bad) {
      // Once broken, always broken: nothing after it is trusted.
      const Bytes more = {1, 0, 0, 0, 9};
      r.Feed(more.data(), more.size());
      Bytes m;
      EXPECT_EQ(r.Next(m), Reader::Status::kBad) << c.what;
    }
  }
}

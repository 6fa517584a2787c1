// The line protocol's Base64: exact characters, and the decoding rules that differ from a
// general-purpose codec.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/base64.h"

namespace zt {
namespace {

std::string Encode(const std::vector<uint8_t>& in) {
  std::string out(Base64EncodedLength(in.size()) + 1, '\x7F');
  base64_encode(in.data(), in.size(), out.data());
  EXPECT_EQ(out.back(), '\0');
  out.pop_back();
  return out;
}

struct Decoded {
  size_t groups;
  std::vector<uint8_t> bytes;  // 3 per group, then the NUL
};

Decoded Decode(const std::string& text) {
  std::vector<uint8_t> out(Base64DecodedLength(text.size()) + 1, 0xEE);
  const size_t groups = base64_decode(text.data(), text.size(), out.data());
  return {groups, out};
}

TEST(Base64Encode, TwelveByteQueryFrameGivesSixteenCharactersWithoutPadding) {
  const std::vector<uint8_t> q = {0x43, 0x4D, 0x4E, 0x44, 0x64, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Encode(q), "Q01ORGQAAAAAAAAA");
}

TEST(Base64Encode, CommandFrameOf136BytesGives184CharactersEndingInTwoPads) {
  std::vector<uint8_t> frame(136, 0);
  std::memcpy(frame.data(), "CMND", 4);
  frame[4] = 4;
  const std::string s = Encode(frame);
  ASSERT_EQ(s.size(), 184u);
  EXPECT_EQ(s.substr(0, 8), "Q01ORAQA");
  EXPECT_EQ(s.substr(180), "AA==");
  EXPECT_EQ(s.find('='), 182u);
}

TEST(Base64Encode, LeftoverBytesAndTheRfcVectors) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
               {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"}, {"\xFF\xFE", "//4="}, {"\xFB\xEF", "++8="}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> in(c.in, c.in + std::strlen(c.in));
    EXPECT_EQ(Encode(in), c.out) << c.in;
  }
}

TEST(Base64Decode, ReplyOfSixteenCharactersAndCrGivesFourGroupsAndIgnoresTheCr) {
  const Decoded d = Decode("Q01ORGQAAAAAAAAA\r");
  EXPECT_EQ(d.groups, 4u);
  const std::vector<uint8_t> expect = {0x43, 0x4D, 0x4E, 0x44, 0x64, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(d.bytes, expect);
}

TEST(Base64Decode, ReplyOf24CharactersAndCrGivesSixGroups) {
  // "CMND", code 104, then 10 bytes 01..0A of the result words.
  const Decoded d = Decode("Q01ORGgAAAABAgMEBQYHCAkK\r");
  EXPECT_EQ(d.groups, 6u);
  ASSERT_EQ(d.bytes.size(), 19u);
  EXPECT_EQ(d.bytes[4], 104);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(d.bytes[8 + i], i + 1) << i;
  EXPECT_EQ(d.bytes[18], 0);  // the NUL
}

TEST(Base64Decode, PaddingZeroesBytesByPositionButNeverShortens) {
  const struct {
    const char* text;
    std::vector<uint8_t> bytes;  // with the NUL
  } cases[] = {
      {"QUJD", {0x41, 0x42, 0x43, 0}},
      {"QUJ=", {0x41, 0x42, 0x00, 0}},  // the third byte is 0 (its bits would give 0x40)
      {"QU==", {0x41, 0x00, 0x00, 0}},  // the second too (0x40 without the rule)
      {"QU=A", {0x41, 0x40, 0x00, 0}},  // "=" not last: just the value 0
      {"QQ=B", {0x41, 0x00, 0x01, 0}},  // "=" inside a group counts as 0
      {"Q\x80\xFF" "B", {0x40, 0x00, 0x01, 0}},  // bytes outside the alphabet count as 0
      {"====", {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.groups, 1u) << c.text;
    EXPECT_EQ(d.bytes, c.bytes) << c.text;
  }
}

TEST(Base64Decode, UpToThreeTrailingCharactersAreIgnored) {
  const struct {
    const char* text;
    size_t groups;
  } cases[] = {{"", 0}, {"Q", 0}, {"QU", 0}, {"QUJ", 0}, {"QUJD", 1}, {"QUJDR", 1},
               {"QUJDRA\r", 1}, {"QUJDREVG", 2}};
  for (const auto& c : cases) {
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.groups, c.groups) << c.text;
    EXPECT_EQ(d.bytes.size(), 3 * c.groups + 1);
    EXPECT_EQ(d.bytes.back(), 0);
  }
}

TEST(Base64RoundTrip, AnyBytesComeBackWithTheirLengthRoundedUpToGroups) {
  std::vector<uint8_t> in;
  for (int n = 0; n < 40; ++n) {
    const std::string text = Encode(in);
    const Decoded d = Decode(text);
    ASSERT_EQ(d.groups, (in.size() + 2) / 3);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(d.bytes[i], in[i]) << n << " " << i;
    for (size_t i = in.size(); i < 3 * d.groups; ++i) ASSERT_EQ(d.bytes[i], 0) << n;
    in.push_back(static_cast<uint8_t>(n * 37 + 11));
  }
}

}  // namespace
}  // namespace zt

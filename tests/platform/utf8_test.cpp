// UTF-8 <-> wide text: characters of every length, surrogate pairs, lone surrogates and
// malformed UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf8.h"
#include "tests/platform/utf8_cases.h"

namespace zt {
namespace {

using test::Utf8Case;

// The units of a UTF-16 text, one wchar_t each (on Windows: the text itself).
std::wstring UnitsOf(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// What wchar_t holds for these characters on this platform.
std::wstring WideOf(const Utf8Case& c) {
  return sizeof(wchar_t) == 2 ? UnitsOf(c.utf16) : std::wstring(c.utf32.begin(), c.utf32.end());
}

class FromWide : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(FromWide, GivesUtf8WithPairsJoinedAndLoneSurrogatesReplaced) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(platform::Utf8FromWide(UnitsOf(c.utf16)), c.utf8);
  EXPECT_EQ(platform::Utf8FromWide(WideOf(c)), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, FromWide, ::testing::ValuesIn(test::kWideCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The wide texts that have a UTF-8 form (no lone surrogate).
std::vector<Utf8Case> RoundTrips() {
  std::vector<Utf8Case> rows;
  for (const Utf8Case& c : test::kWideCases)
    if (c.round_trip) rows.push_back(c);
  return rows;
}

class ToWide : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(ToWide, GivesThePlatformsWideTextWithMalformedPartsReplaced) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(platform::WideFromUtf8(c.utf8), WideOf(c));
}

INSTANTIATE_TEST_SUITE_P(RoundTrips, ToWide, ::testing::ValuesIn(RoundTrips()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Malformed, ToWide, ::testing::ValuesIn(test::kUtf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FromThirtyTwoBitWide, CodePointBeyondU10FFFFIsReplaced) {
  if (sizeof(wchar_t) == 2) GTEST_SKIP() << "16-bit wchar_t cannot hold it";
  EXPECT_EQ(platform::Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0x110000))),
            "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace zt

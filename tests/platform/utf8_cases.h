// Texts in UTF-8 and as wide text, for the one conversion between them (platform/utf8.h)
// and for the code that goes through it (port names).
#pragma once

#include <ostream>
#include <string>

namespace zt::test {

struct Utf8Case {
  const char* name;
  std::u16string utf16;  // as a 16-bit wchar_t (Windows) holds it
  std::u32string utf32;  // as a 32-bit wchar_t holds it
  std::string utf8;
  bool round_trip;  // false: only the direction that repairs the input is checked
};

// gtest names a failing row by its name.
inline void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

// Wide to UTF-8. Rows that are not round trips hold a lone surrogate; their utf32 is the
// same units widened, as a UTF-16 text copied unit by unit into 32-bit wchar_t.
inline const Utf8Case kWideCases[] = {
    {"Empty", u"", U"", "", true},
    {"Ascii", u"COM3", U"COM3", "COM3", true},
    {"TwoBytesDegreeSign", u"12\u00B0C", U"12\u00B0C", "12\xC2\xB0" "C", true},
    {"ThreeBytesEuro", u"\u20AC5", U"\u20AC5", "\xE2\x82\xAC" "5", true},
    {"LastBeforeSurrogates", u"\uD7FF", U"\uD7FF", "\xED\x9F\xBF", true},
    {"FirstAfterSurrogates", u"\uE000", U"\uE000", "\xEE\x80\x80", true},
    {"LastOfBmp", u"\uFFFF", U"\uFFFF", "\xEF\xBF\xBF", true},
    {"SupplementaryAsSurrogatePair", u"COM\U0001F41F", U"COM\U0001F41F",
     "COM\xF0\x9F\x90\x9F", true},
    {"FirstSupplementary", u"\U00010000", U"\U00010000", "\xF0\x90\x80\x80", true},
    {"LastSupplementary", u"\U0010FFFF", U"\U0010FFFF", "\xF4\x8F\xBF\xBF", true},
    {"LoneHighSurrogate", std::u16string{0xD83D, u'A'}, std::u32string{0xD83D, U'A'},
     "\xEF\xBF\xBD" "A", false},
    {"LoneLowSurrogate", std::u16string{u'A', 0xDC1F}, std::u32string{U'A', 0xDC1F},
     "A\xEF\xBF\xBD", false},
    {"HighSurrogateAtTheEnd", std::u16string{u'x', 0xD800}, std::u32string{U'x', 0xD800},
     "x\xEF\xBF\xBD", false},
    {"PairInTheWrongOrder", std::u16string{0xDC00, 0xD800}, std::u32string{0xDC00, 0xD800},
     "\xEF\xBF\xBD\xEF\xBF\xBD", false},
    {"TwoHighSurrogates", std::u16string{0xD800, 0xD800, 0xDC00},
     std::u32string{0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80", false},
};

// UTF-8 to wide: malformed parts become U+FFFD each.
inline const Utf8Case kUtf8Cases[] = {
    {"StrayContinuationByte", u"a\uFFFDb", U"a\uFFFDb", "a\x80" "b", false},
    {"TruncatedThreeBytes", u"\uFFFD", U"\uFFFD", "\xE2\x82", false},
    {"TruncatedBeforeAscii", u"\uFFFDA", U"\uFFFDA", "\xF0\x9F\x90" "A", false},
    {"OverlongSlash", u"\uFFFD\uFFFD", U"\uFFFD\uFFFD", "\xC0\xAF", false},
    {"EncodedSurrogate", u"\uFFFD\uFFFD\uFFFD", U"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80", false},
    {"BeyondU10FFFF", u"\uFFFD\uFFFD\uFFFD\uFFFD", U"\uFFFD\uFFFD\uFFFD\uFFFD",
     "\xF4\x90\x80\x80", false},
    {"ByteNeverInUtf8", u"\uFFFD", U"\uFFFD", "\xFF", false},
};

}  // namespace zt::test

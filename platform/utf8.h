// UTF-8 <-> wide text, the one conversion of every program: paths, command lines, control
// texts, port names. Wide text is what wchar_t holds: UTF-16 on Windows, whole characters
// (UTF-32) elsewhere. Portable, so that the port table and the tests use the same code as
// the Win32 side.
#pragma once

#include <string>
#include <string_view>

namespace zt::platform {

// A surrogate pair is one character (in 32-bit wide text too); a lone surrogate or a value
// beyond U+10FFFF becomes U+FFFD, as Windows' own conversion writes it.
std::string Utf8FromWide(std::wstring_view wide);

// Each malformed part of the UTF-8 (a stray or missing continuation byte, an overlong form,
// an encoded surrogate, a value beyond U+10FFFF) becomes one U+FFFD: the lead byte and the
// continuation bytes that could still have begun a character, or a single byte.
std::wstring WideFromUtf8(std::string_view utf8);

}  // namespace zt::platform

#pragma once
// Wide and narrow text. The narrow code page is UTF-8 on this platform; wide text holds one
// code point per character.
#include <string>
#include <string_view>

namespace platform {

// Invalid UTF-8 bytes become U+FFFD, one per byte, so nothing is silently dropped.
std::wstring Utf8ToWide(std::string_view text);
// Code points outside Unicode become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// Lossless UTF-16 for text from the user's files, which need not be UTF-8: a byte that is not
// part of a valid UTF-8 sequence becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF),
// which valid UTF-8 can never produce. Valid UTF-8 converts as usual.
std::u16string Utf8ToUtf16Escaped(std::string_view text);
// The inverse: U+DC80..U+DCFF standing alone gives its byte back, so any byte string survives
// the round trip. Any other lone surrogate becomes U+FFFD.
std::string Utf16EscapedToUtf8(std::u16string_view text);

}  // namespace platform

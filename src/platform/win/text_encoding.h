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

}  // namespace platform

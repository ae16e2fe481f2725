#include "platform/win/text_encoding.h"

namespace platform {

namespace {
constexpr wchar_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& narrow, char32_t cp) {
    if (cp < 0x80) {
        narrow.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        narrow.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        narrow.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        narrow.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        narrow.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Calls `onCodePoint` for each valid UTF-8 sequence of `text` and `onInvalidByte` for each byte
// that is not part of one, in order.
template <typename OnCodePoint, typename OnInvalidByte>
void ForEachCodePoint(std::string_view text, OnCodePoint onCodePoint, OnInvalidByte onInvalidByte) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t len = SequenceLength(text, i, cp);
        if (len == 0) {
            onInvalidByte(static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            onCodePoint(cp);
            i += len;
        }
    }
}

constexpr bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Bytes 00..7F are always valid UTF-8, so only 80..FF are ever escaped.
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;
}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    ForEachCodePoint(
        text, [&](char32_t cp) { wide.push_back(static_cast<wchar_t>(cp)); },
        [&](unsigned char) { wide.push_back(kReplacement); });
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t wc : text) {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
        AppendUtf8(narrow, cp);
    }
    return narrow;
}

std::u16string Utf8ToUtf16Escaped(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    ForEachCodePoint(
        text,
        [&](char32_t cp) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                wide.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                wide.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                wide.push_back(static_cast<char16_t>(cp));
            }
        },
        [&](unsigned char byte) { wide.push_back(static_cast<char16_t>(kEscapeBase + byte)); });
    return wide;
}

std::string Utf16EscapedToUtf8(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(narrow, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= kFirstEscape && unit <= kLastEscape) {
            narrow.push_back(static_cast<char>(unit - kEscapeBase));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(narrow, kReplacement);
        } else {
            AppendUtf8(narrow, unit);
        }
    }
    return narrow;
}

}  // namespace platform

#include "platform/media/dvb_text.h"

#include <iconv.h>

#include <cerrno>
#include <string_view>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

struct CharacterTable {
    std::string charset;
    std::size_t selectorSize = 0;
};

CharacterTable TableOf(std::span<const std::uint8_t> text) {
    const std::uint8_t first = text[0];
    if (first >= 0x20) return {"ISO_6937", 0};
    if (first <= 0x0B) return {"ISO-8859-" + std::to_string(first + 4), 1};
    switch (first) {
        case 0x10:  // 0x10 0x00 nn: ISO 8859 part nn
            if (text.size() < 3) return {"", text.size()};
            return {"ISO-8859-" + std::to_string(text[2]), 3};
        case 0x11:
            return {"UCS-2BE", 1};
        case 0x12:
            return {"EUC-KR", 1};
        case 0x13:
            return {"GB2312", 1};
        case 0x14:
            return {"BIG5", 1};
        case 0x15:
            return {"UTF-8", 1};
        case 0x1F:
            return {"", text.size()};  // needs the broadcaster's decoding tables
        default:
            return {"ISO_6937", 1};  // reserved selector: the default table
    }
}

class CIconv {
public:
    explicit CIconv(const std::string& charset) : m_cd(::iconv_open("UTF-8", charset.c_str())) {}
    ~CIconv() {
        if (IsOpen()) ::iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

constexpr const char* kLatin1 = "ISO-8859-1";

// Each byte as the code point of its value.
std::string Latin1ToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (const std::uint8_t byte : bytes) {
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

// iconv to UTF-8; a byte that does not decode (or an accent left dangling at the end) gives
// U+FFFD and decoding resumes after it.
std::string Convert(const std::string& charset, std::span<const std::uint8_t> bytes) {
    CIconv converter(charset);
    if (!converter.IsOpen()) {
        // An ISO 8859 part the system does not know still shows its ASCII half; a system without
        // converters at all (no gconv modules, as in a minimal image) gets the bytes as Latin-1.
        return charset != kLatin1 ? Convert(kLatin1, bytes) : Latin1ToUtf8(bytes);
    }
    std::string out;
    char buffer[256];
    // iconv's interface takes char* although it does not write the input.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outAt = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = ::iconv(converter.Get(), &in, &inLeft, &outAt, &outLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(outAt - buffer));
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        out += kReplacement;
        ++in;
        --inLeft;
        ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

// Drops the control codes of the tables (C1, U+0080..U+009F, and their two-byte form
// U+E080..U+E09F); a line break (0x8A) becomes a space, since names are shown on one line.
std::string WithoutControlCodes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<std::uint8_t>(text[i + 1]) : 0;
        const auto third = i + 2 < text.size() ? static_cast<std::uint8_t>(text[i + 2]) : 0;
        int code = -1;  // 0x80..0x9F when a control code starts here
        std::size_t size = 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            code = next;
            size = 2;
        } else if (byte == 0xEE && next == 0x82 && third >= 0x80 && third <= 0x9F) {
            code = third;
            size = 3;
        }
        if (code < 0) {
            out.push_back(text[i]);
            continue;
        }
        if (code == 0x8A) out.push_back(' ');
        i += size - 1;
    }
    return out;
}

}  // namespace

std::string DecodeDvbText(std::span<const std::uint8_t> text) {
    if (text.empty()) return {};
    const CharacterTable table = TableOf(text);
    if (table.charset.empty()) return {};
    return WithoutControlCodes(Convert(table.charset, text.subspan(table.selectorSize)));
}

#include "platform/win/text_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct EscapeCase {
    const char* what;
    std::string bytes;
    std::u16string units;
};

// Each case reads into exactly these UTF-16 units and writes back into exactly its bytes.
TEST(TextEncodingTest, BytesThatAreNotUtf8BecomeLoneSurrogatesAndComeBackUnchanged) {
    const EscapeCase cases[] = {
        {"ASCII", "11700", u"11700"},
        {"two- and three-byte characters", "Z\xC3\xBCrich \xE2\x82\xAC", u"Z\u00FCrich \u20AC"},
        {"a character beyond the BMP", "\xF0\x9F\x9B\xB0", u"\U0001F6F0"},
        {"bytes that begin no sequence", "\xFF\xFE", u"\xDCFF\xDCFE"},
        {"a lead byte alone", "\xC3", u"\xDCC3"},
        {"a sequence cut by the end", "1\xE2\x82", u"1\xDCE2\xDC82"},
        {"a lead byte before ASCII", "\xC3Z", u"\xDCC3Z"},
        {"a continuation byte alone", "\x80", u"\xDC80"},
        {"an overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
        {"a surrogate written in UTF-8", "\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"valid text around a bad byte", "\xC3\xA4\xA4\xC3\xA4", u"\u00E4\xDCA4\u00E4"},
    };
    for (const EscapeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(platform::Utf8ToUtf16Escaped(c.bytes), c.units);
        EXPECT_EQ(platform::Utf16EscapedToUtf8(c.units), c.bytes);
    }
}

TEST(TextEncodingTest, LoneSurrogatesThatNoByteStandsForBecomeTheReplacementCharacter) {
    // U+DC7F would be byte 7F, which is always valid UTF-8; a high surrogate needs its pair.
    EXPECT_EQ(platform::Utf16EscapedToUtf8(u"a\xDC7Fz"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(platform::Utf16EscapedToUtf8(u"\xD83D"), "\xEF\xBF\xBD");
    EXPECT_EQ(platform::Utf16EscapedToUtf8(u"\xD83Dx"), "\xEF\xBF\xBDx");
    // A pair whose low half lies in the escape range is still a character: U+10080.
    EXPECT_EQ(platform::Utf16EscapedToUtf8(u"\xD800\xDC80"), "\xF0\x90\x82\x80");
}

TEST(TextEncodingTest, EveryByteStringSurvivesTheRoundTrip) {
    std::mt19937 random(20250314);
    // Short strings from a small alphabet of lead, continuation and ASCII bytes, so that
    // valid and broken sequences of every length meet.
    const std::string alphabet = "a\x80\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF";
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 9, '\0');
        for (char& c : bytes) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(platform::Utf16EscapedToUtf8(platform::Utf8ToUtf16Escaped(bytes)), bytes);
    }
}

}  // namespace

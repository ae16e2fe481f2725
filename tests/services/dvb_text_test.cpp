#include "platform/media/dvb_text.h"

#include <gtest/gtest.h>

#include "services/service_texts.h"

namespace {

struct TextRow {
    const char* what;
    std::string bytes;
    std::string utf8;
};

const TextRow kTexts[] = {
    {"plain ASCII in the default table", "Das Erste", "Das Erste"},
    {"ISO 6937 accents before their letters",
     "Caf\xC2"
     "e \xC8U \xCF"
     "c",
     "Caf\u00E9 \u00DC \u010D"},
    {"ISO 6937 spacing characters",
     "\xA3"
     "5 \xD2",
     "\u00A3"
     "5 \u00AE"},
    {"emphasis codes are dropped", "\x86News\x87 24", "News 24"},
    {"a line break becomes a space", "Line\x8Atwo", "Line two"},
    {"0x01 selects ISO 8859-5", "\x01\xB0\xB1", "\u0410\u0411"},
    {"0x05 selects ISO 8859-9", "\x05TRT", "TRT"},
    {"an ISO 8859 part the system does not know keeps its ASCII half",
     std::string("\x10\x00\x63"
                 "ab",
                 5),
     "ab"},
    {"0x10 0x00 0x02 selects ISO 8859-2",
     std::string("\x10\x00\x02"
                 "ab",
                 5),
     "ab"},
    {"0x10 0x00 0x07 selects ISO 8859-7", std::string("\x10\x00\x07\xE1", 4), "\u03B1"},
    {"0x11 selects two-byte UCS-2",
     std::string("\x11\x00"
                 "A\x04\x10\xE0\x86",
                 7),
     "A\u0410"},
    {"0x15 selects UTF-8",
     "\x15"
     "Caf\xC3\xA9",
     "Caf\u00E9"},
    {"UTF-8 control codes are dropped",
     "\x15"
     "A\xC2\x86"
     "B\xC2\x8A"
     "C",
     "AB C"},
    {"a byte that does not decode",
     "\x15"
     "A\xFF"
     "B",
     "A\uFFFD"
     "B"},
    {"an accent left dangling at the end", "Cafe\xC2", "Cafe\uFFFD"},
    {"compressed text cannot be read", "\x1F\x01\x80\x81", ""},
    {"empty", "", ""},
};

TEST(DvbTextTest, EachCharacterTableDecodesToUtf8) {
    for (const TextRow& row : kTexts) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(row.bytes.data());
        EXPECT_EQ(DecodeDvbText({data, row.bytes.size()}), row.utf8) << row.what;
    }
}

TEST(DvbTextTest, ServiceTypesHaveTheirWords) {
    const std::pair<std::uint8_t, const char*> rows[] = {
        {0x01, "TV"},    {0x16, "TV"},     {0x11, "HD TV"},     {0x19, "HD TV"}, {0x1F, "UHD TV"},
        {0x02, "Radio"}, {0x0A, "Radio"},  {0x07, "FM radio"},  {0x0C, "Data"},  {0x03, "Teletext"},
        {0x05, "NVOD"},  {0x06, "Mosaic"}, {0x80, "Type 0x80"},
    };
    for (const auto& [type, text] : rows) EXPECT_EQ(services::ServiceTypeText(type), text) << +type;
}

}  // namespace

#include "platform/com/guid.h"

#include <gtest/gtest.h>

namespace {

constexpr GUID kFilterGraph = com::MakeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");

TEST(GuidTest, ParsesEveryFieldOfTheTextForm) {
    EXPECT_EQ(kFilterGraph.Data1, 0xE436EBB3u);
    EXPECT_EQ(kFilterGraph.Data2, 0x524Fu);
    EXPECT_EQ(kFilterGraph.Data3, 0x11CEu);
    const std::array<std::uint8_t, 8> tail = {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70};
    EXPECT_EQ(kFilterGraph.Data4, tail);
}

TEST(GuidTest, PrintsUpperCaseBracedText) {
    EXPECT_EQ(com::FormatGuid(kFilterGraph), "{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
    EXPECT_EQ(com::FormatGuid(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

TEST(GuidTest, LowerCaseTextParsesToTheSameValue) {
    EXPECT_EQ(com::ParseGuid("{e436ebb3-524f-11ce-9f53-0020af0ba770}"), kFilterGraph);
}

TEST(GuidTest, RejectsMalformedText) {
    for (const char* bad :
         {"", "E436EBB3-524F-11CE-9F53-0020AF0BA770", "{E436EBB3-524F-11CE-9F53-0020AF0BA77}",
          "{E436EBB3-524F-11CE-9F53-0020AF0BA7700}", "{E436EBB3_524F-11CE-9F53-0020AF0BA770}",
          "{G436EBB3-524F-11CE-9F53-0020AF0BA770}", "(E436EBB3-524F-11CE-9F53-0020AF0BA770)"}) {
        EXPECT_FALSE(com::ParseGuid(bad).has_value()) << bad;
    }
}

TEST(GuidTest, ClsidFromStringTakesWideTextAndReportsBadText) {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromString(L"{FA4B375A-45B4-4D45-8440-263957B11623}", &clsid), S_OK);
    EXPECT_EQ(clsid, com::MakeGuid("{FA4B375A-45B4-4D45-8440-263957B11623}"));
    EXPECT_EQ(CLSIDFromString(L"{FA4B375A-45B4-4D45-8440-263957B1162}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(L"{FA4B375A-45B4-4D45-8440-263957B1162\u00e9}", &clsid),
              CO_E_CLASSSTRING);
    EXPECT_EQ(StringFromGUID(clsid), L"{FA4B375A-45B4-4D45-8440-263957B11623}");
}

TEST(HresultTest, KeepsTheWindowsValues) {
    EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_POINTER), 0x80004003u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_NOINTERFACE), 0x80004002u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_INVALIDARG), 0x80070057u);
    EXPECT_EQ(static_cast<std::uint32_t>(VFW_E_NOT_CONNECTED), 0x80040209u);
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, 0x00040103);
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(SUCCEEDED(VFW_S_NO_MORE_ITEMS));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_FALSE(FAILED(S_OK));
}

}  // namespace

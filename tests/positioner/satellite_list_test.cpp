#include "positioner/satellite_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "positioner/program_folder_override.h"
#include "support/temp_folder.h"

namespace {

using Entries = std::vector<std::string>;

class SatelliteListTest : public ::testing::Test {
protected:
    std::string Folder() const { return m_folder.Path() + "/Transponders"; }
    void MakeFolder() const { std::filesystem::create_directory(Folder()); }
    void WriteFile(const std::string& name, const std::string& content) const {
        WriteWholeFile(Folder() + "/" + name, content);
    }

    CTempFolder m_folder;
    CProgramFolderOverride m_programFolder{m_folder.Path()};
};

TEST_F(SatelliteListTest, NoFolderOrNoIniFileGivesAnEmptyList) {
    EXPECT_EQ(SatelliteFolderPath(), m_folder.Path() + "/Transponders");
    EXPECT_TRUE(ReadSatelliteEntries().empty());
    MakeFolder();
    EXPECT_TRUE(ReadSatelliteEntries().empty());
    WriteFile("readme.txt", "[SATTYPE]\n1=0192\n2=Not a satellite file\n");
    EXPECT_TRUE(ReadSatelliteEntries().empty());
}

TEST_F(SatelliteListTest, EachIniFileGivesPositionTwoSpacesAndName) {
    MakeFolder();
    WriteFile("astra.ini",
              "[SATTYPE]\r\n1=0192\r\n2=Astra "
              "1KR/1L/1M/1N\r\n\r\n[DVB]\r\n0=1\r\n1=10714,H,22000,56\r\n");
    WriteFile("hotbird.ini", "[DVB]\n0=0\n[SATTYPE]\n2=Hotbird 13E\n1=0130\n");
    WriteFile("nameless.ini", "[SATTYPE]\n1=3550\n");
    WriteFile("empty.ini", "[OTHER]\n1=0420\n2=Elsewhere\n");
    WriteFile("astra-copy.ini", "[sattype]\n1=0192\n2=Astra 1KR/1L/1M/1N\n");

    // In the order of the files' names, whatever order the folder lists them in.
    const Entries expected = {
        "0192  Astra 1KR/1L/1M/1N",  // astra-copy.ini: the same satellite twice is not merged
        "0192  Astra 1KR/1L/1M/1N",  // astra.ini
        "  ",                        // empty.ini
        "0130  Hotbird 13E",         // hotbird.ini
        "3550  ",                    // nameless.ini
    };
    EXPECT_EQ(ReadSatelliteEntries(), expected);
}

TEST_F(SatelliteListTest, NamesEndingInIniInAnyCaseCount) {
    MakeFolder();
    WriteFile("a.ini", "[SATTYPE]\n1=0010\n2=A\n");
    WriteFile("b.INI", "[SATTYPE]\n1=0020\n2=B\n");
    WriteFile("c.ini.bak", "[SATTYPE]\n1=0030\n2=C\n");
    WriteFile("d.inix", "[SATTYPE]\n1=0040\n2=D\n");
    WriteFile(".ini", "[SATTYPE]\n1=0050\n2=E\n");
    std::filesystem::create_directory(Folder() + "/folder.ini");
    EXPECT_EQ(ReadSatelliteEntries(), (Entries{"0050  E", "0010  A", "0020  B"}));
}

TEST_F(SatelliteListTest, ValuesAreCutTo259Characters) {
    MakeFolder();
    WriteFile("long.ini", "[SATTYPE]\n1=0192\n2=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(ReadSatelliteEntries(), (Entries{"0192  " + std::string(259, 'x')}));
}

TEST_F(SatelliteListTest, ListingEndsAtTheFirstFileBeyondTheFolderLimits) {
    MakeFolder();
    const std::string text = "[SATTYPE]\n1=0192\n2=Astra\n";
    for (const char* name : {"a.ini", "b.ini", "c.ini"}) WriteFile(name, text);
    struct Case {
        SatelliteFolderLimits limits;
        std::size_t entries;
    };
    const Case cases[] = {
        {{}, 3},
        {{2, 100, 1 << 20}, 2},
        {{10, 100, 2 * text.size()}, 2},
        {{10, 100, 2 * text.size() - 1}, 1},
        {{0, 100, 1 << 20}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadSatelliteEntries(c.limits).size(), c.entries)
            << c.limits.files << " files, " << c.limits.bytes << " bytes";
    }
}

}  // namespace

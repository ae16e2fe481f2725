// The one rule of which files in the satellite folder are satellite files, and their order.
#include "data/satellite_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

using Names = std::vector<std::string>;

TEST(ListSatelliteFilesTest, NamesEndingInIniInAnyCaseThatAreNoFoldersInByteOrder) {
    const CTempFolder folder;
    // Made last to first, so that the folder's own order is not the byte order.
    for (const char* name :
         {"z.ini", "readme.txt", "c.ini.bak", "b.inix", "a.ini", "B.Ini", "A.INI", ".ini"}) {
        WriteWholeFile(folder.File(name), "[SATTYPE]\n1=0192\n");
    }
    std::filesystem::create_directory(folder.File("folder.ini"));
    std::filesystem::create_directory_symlink(folder.File("folder.ini"),
                                              folder.File("dir-link.ini"));
    std::filesystem::create_symlink(folder.File("z.ini"), folder.File("file-link.ini"));
    std::filesystem::create_symlink(folder.File("gone"), folder.File("dangling.ini"));

    const struct {
        std::size_t count;
        Names expected;
    } cases[] = {
        {SIZE_MAX, {".ini", "A.INI", "B.Ini", "a.ini", "dangling.ini", "file-link.ini", "z.ini"}},
        {2, {".ini", "A.INI"}},
        {0, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ListSatelliteFiles(folder.Path(), c.count), c.expected) << c.count << " names";
    }
    EXPECT_EQ(ListSatelliteFiles(folder.File("missing")), Names{});
}

}  // namespace

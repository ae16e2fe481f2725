// Where the program finds its data: beside itself in a build tree, in ../share/vlk-tscap once
// installed. Each case lays out a tree as a build or an install leaves it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/known_folders.h"
#include "support/folder_roots.h"
#include "support/temp_folder.h"

namespace {

enum class EEntry { Folder, File, LinkToFolder };

struct DataFolderCase {
    const char* what;
    std::vector<std::pair<const char*, EEntry>> tree;  // below the temporary root, in order
    const char* program;                               // the program folder, below the root
    const char* expected;                              // the data folder, below the root
};

const DataFolderCase kCases[] = {
    {"build tree: the satellite files beside the program",
     {{"bin/Transponders", EEntry::Folder}},
     "bin",
     "bin"},
    {"installed: bin/ and share/vlk-tscap/ side by side",
     {{"usr/bin", EEntry::Folder}, {"usr/share/vlk-tscap/Transponders", EEntry::Folder}},
     "usr/bin",
     "usr/share/vlk-tscap"},
    {"a build tree wins over an installed tree around it",
     {{"usr/bin/Transponders", EEntry::Folder}, {"usr/share/vlk-tscap", EEntry::Folder}},
     "usr/bin",
     "usr/bin"},
    {"neither: the program folder, where files show as missing",
     {{"bin", EEntry::Folder}, {"share", EEntry::Folder}},
     "bin",
     "bin"},
    {"a file named Transponders is no satellite folder",
     {{"bin", EEntry::Folder},
      {"bin/Transponders", EEntry::File},
      {"share/vlk-tscap", EEntry::Folder}},
     "bin",
     "share/vlk-tscap"},
    {"a file named share/vlk-tscap is no data folder",
     {{"bin", EEntry::Folder}, {"share", EEntry::Folder}, {"share/vlk-tscap", EEntry::File}},
     "bin",
     "bin"},
    {"share/vlk-tscap as a link to a folder counts (a packager's symlink)",
     {{"bin", EEntry::Folder},
      {"elsewhere", EEntry::Folder},
      {"share", EEntry::Folder},
      {"share/vlk-tscap", EEntry::LinkToFolder}},
     "bin",
     "share/vlk-tscap"},
    {"the data of another program's share folder is not ours",
     {{"bin", EEntry::Folder}, {"share/other-program/Transponders", EEntry::Folder}},
     "bin",
     "bin"},
    {"a program folder that does not exist", {}, "gone/bin", "gone/bin"},
};

class DataFolderTest : public ::testing::TestWithParam<DataFolderCase> {
protected:
    void TearDown() override { test_roots::SetProgramFolder(""); }

    void Lay(const std::string& path, EEntry entry) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        switch (entry) {
            case EEntry::Folder:
                std::filesystem::create_directories(path);
                break;
            case EEntry::File:
                WriteWholeFile(path, "");
                break;
            case EEntry::LinkToFolder:
                std::filesystem::create_directory_symlink(m_root.File("elsewhere"), path);
                break;
        }
    }

    CTempFolder m_root;
};

TEST_P(DataFolderTest, IsFoundFromTheProgramFolder) {
    const DataFolderCase& c = GetParam();
    for (const auto& [path, entry] : c.tree) Lay(m_root.File(path), entry);
    test_roots::SetProgramFolder(m_root.File(c.program));
    // The path as the program joins it, not resolved: help and log lines show it as it is.
    EXPECT_EQ(platform::DataFolder(), m_root.File(c.expected)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Trees, DataFolderTest, ::testing::ValuesIn(kCases));

}  // namespace

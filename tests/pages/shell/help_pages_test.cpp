// The HTML help beside the program: F1 opens help/index.html where no CHM viewer is registered, so
// that page and every page it links to must be in the program folder after a build, and be the
// current sources rather than a stale copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kHelpDir = fs::path(VLK_TEST_PROGRAM_DIR) / "help";
const fs::path kSourceDir = VLK_TEST_HELP_SOURCE_DIR;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files that the links of a page lead to, anchors dropped; outside addresses left out.
std::set<std::string> LinkedFiles(const std::string& page) {
    static const std::regex kHref(R"re(href="([^"#]*)(#[^"]*)?")re");
    std::set<std::string> files;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), kHref);
         it != std::sregex_iterator(); ++it) {
        const std::string target = (*it)[1].str();
        if (!target.empty() && !std::regex_search(target, std::regex("^[a-zA-Z]+:")))
            files.insert(target);
    }
    return files;
}

TEST(HelpPagesTest, IndexAndEveryPageItLinksToLieInTheProgramFolder) {
    ASSERT_TRUE(fs::is_regular_file(kHelpDir / "index.html")) << (kHelpDir / "index.html");
    const std::set<std::string> linked = LinkedFiles(ReadFile(kHelpDir / "index.html"));
    // The index leads to the style sheet and to each chapter; far fewer links means the reading
    // above, not the help, is broken.
    ASSERT_TRUE(linked.contains("help.css"));
    ASSERT_GE(linked.size(), 10u);
    std::vector<std::string> missing;
    for (const std::string& name : linked) {
        if (!fs::is_regular_file(kHelpDir / name)) missing.push_back(name);
    }
    EXPECT_TRUE(missing.empty()) << "missing in " << kHelpDir << ": "
                                 << ::testing::PrintToString(missing);
}

TEST(HelpPagesTest, EveryPageOfTheSourcesIsCopiedAsItIs) {
    std::vector<std::string> differing;
    int pages = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kSourceDir)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".html" && extension != ".css") continue;
        ++pages;
        const fs::path copy = kHelpDir / entry.path().filename();
        if (!fs::is_regular_file(copy) || ReadFile(copy) != ReadFile(entry.path())) {
            differing.push_back(entry.path().filename().string());
        }
    }
    EXPECT_GE(pages, 10);
    EXPECT_TRUE(differing.empty())
        << "missing or stale in " << kHelpDir << ": " << ::testing::PrintToString(differing);
}

}  // namespace

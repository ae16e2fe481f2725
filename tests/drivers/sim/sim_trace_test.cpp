// The simulated card's trace file: kept to at most two files of kRotateSize. Full files are made
// sparse (a hole of zeros after a first line), so no test writes 16 MiB.
#include "drivers/sim/sim_trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "drivers/sim/sim_test_rig.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kLimit = CSimTrace::kRotateSize;

class SimTraceTest : public ::testing::Test {
protected:
    std::string TracePath() const { return m_environment.Folder().File("SimulatedCard.log"); }
    std::string OlderPath() const { return TracePath() + CSimTrace::kOlderSuffix; }

    // The bytes of a traced line of Arden with a four-letter event: its local time has a fixed
    // width.
    std::uint64_t LineSize() {
        CSimTrace::Write("Arden", 0, "size");
        const std::uint64_t size = fs::file_size(TracePath());
        fs::remove(TracePath());
        return size;
    }

    // A trace of `size` bytes: `first` and then a hole.
    static void MakeTrace(const std::string& path, const std::string& first, std::uint64_t size) {
        WriteWholeFile(path, first);
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    }

    static ino_t Inode(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_ino;
    }

    // The last `count` bytes of a file.
    static std::string Tail(const std::string& path, std::uint64_t count) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(-static_cast<std::streamoff>(count), std::ios::end);
        std::string bytes(count, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(count));
        return bytes;
    }

    CSimTestEnvironment m_environment{false};
};

TEST_F(SimTraceTest, AFullTraceMovesAsideWholeAndTheNextLineStartsANewFile) {
    const std::uint64_t line = LineSize();
    WriteWholeFile(OlderPath(), "an older trace\n");

    // A line that just fits stays in the file, which is then exactly full.
    MakeTrace(TracePath(), "first line\n", kLimit - line);
    CSimTrace::Write("Arden", 0, "fits");
    EXPECT_EQ(fs::file_size(TracePath()), kLimit);
    EXPECT_EQ(ReadWholeFile(OlderPath()), "an older trace\n");
    EXPECT_TRUE(Tail(TracePath(), line).ends_with(" 0.000 Arden fits\n"));

    // One byte more would pass the limit: the file becomes the older one, whole, in place of the
    // previous older one, and the line opens a new file.
    const ino_t full = Inode(TracePath());
    CSimTrace::Write("Arden", 0, "over");
    EXPECT_EQ(Inode(OlderPath()), full);
    EXPECT_EQ(fs::file_size(OlderPath()), kLimit);
    EXPECT_TRUE(Tail(OlderPath(), line).ends_with(" 0.000 Arden fits\n"));
    EXPECT_NE(Inode(TracePath()), full);
    const std::string fresh = ReadWholeFile(TracePath());
    EXPECT_EQ(fresh.size(), line);
    EXPECT_TRUE(fresh.ends_with(" 0.000 Arden over\n")) << fresh;

    CSimTrace::Write("Arden", 0, "next");
    EXPECT_TRUE(ReadWholeFile(TracePath()).starts_with(fresh));
    EXPECT_EQ(fs::file_size(TracePath()), line * 2);
    EXPECT_EQ(fs::file_size(OlderPath()), kLimit);
}

TEST_F(SimTraceTest, ATraceLinkedElsewhereMovesAsideThereAndTheLinkStays) {
    const std::string elsewhere = m_environment.Folder().File("elsewhere");
    fs::create_directory(elsewhere);
    const std::string target = elsewhere + "/card.log";
    MakeTrace(target, "first line\n", kLimit);
    fs::create_symlink(target, TracePath());

    CSimTrace::Write("Arden", 0, "through the link");
    EXPECT_EQ(fs::file_size(target + CSimTrace::kOlderSuffix), kLimit);
    EXPECT_TRUE(ReadWholeFile(target).ends_with(" Arden through the link\n"));
    EXPECT_TRUE(fs::is_symlink(TracePath()));
    EXPECT_FALSE(fs::exists(OlderPath()));
}

TEST_F(SimTraceTest, ATraceThatCannotBeMovedAsideLosesItsLinesRatherThanGrow) {
    fs::create_directory(OlderPath());
    WriteWholeFile(OlderPath() + "/inside", "kept");  // rename() cannot replace a full folder
    MakeTrace(TracePath(), "first line\n", kLimit);
    CSimTrace::Write("Arden", 0, "lost");
    EXPECT_EQ(fs::file_size(TracePath()), kLimit);
    EXPECT_EQ(ReadWholeFile(OlderPath() + "/inside"), "kept");
}

}  // namespace

// Every file of the user's that the program writes, with something other than a regular file at
// its path: the stored scan (Scans/<satellite>.csv), the lock memory (LinuxTunerLocks.ini), the
// Transponders page's Transponders.ini and the diagnostic log (Keplin.log). A pipe without a
// reader used to hang the window in open() (the scan's temporary file), a pipe with a reader or a
// link to one took the lines, and a replacement by rename() destroyed the user's pipe. Now each
// write returns at once, nothing reaches what stands there, and it stays as it was; a missing
// file is still created with the content.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>

#include "core/diagnostic_log.h"
#include "core/ini_file.h"
#include "drivers/linuxdvb/dvb_lock_memory.h"
#include "pages/transponders/transponder_page.h"
#include "platform/win/file_locations.h"
#include "platform/win/known_folders.h"
#include "scan/scan_store.h"
#include "support/folder_roots.h"
#include "support/hang_watchdog.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct WriterCase {
    const char* name;
    std::function<std::string()> path;
    // Writes its content; false when it says the write failed.
    std::function<bool(const std::string& path)> write;
    const char* written;         // a text the content holds
    bool reportsFailure = true;  // the log loses a line quietly
};

void PrintTo(const WriterCase& writer, std::ostream* out) {
    *out << writer.name;
}

const WriterCase kWriters[] = {
    {"ScanStore", [] { return scan_store::PathOf("Astra-19.2E"); },
     [](const std::string& path) {
         ScanRow row;
         row.frequencyMHz = 11362;
         row.symbolRateKsps = 22000;
         std::string error;
         const bool saved = scan_store::Save(path, {row}, error);
         EXPECT_EQ(saved, error.empty()) << error;
         return saved;
     },
     "11362"},
    {"LockMemory", [] { return platform::LockMemoryFile(); },
     [](const std::string& path) {
         linuxdvb::CDvbLockMemory memory(path);
         return memory.Remember("Frontend", {11362000, 0, 22000000}, {6, 9, 2, 0, 2});
     },
     "11362000 0 22000000=6 9 2 0 2"},
    {"TranspondersIni", [] { return platform::TransponderPageSettingsFile(); },
     [](const std::string& path) {
         return WriteIniString(path, "Transponders", "Satellite", "Astra-19.2E.ini") == 0;
     },
     "Satellite=Astra-19.2E.ini"},
    {"DiagnosticLog", [] { return platform::DiagnosticLogFile(); },
     [](const std::string&) {
         WriteLog("BDA Device Name: [{}]", "Arden");
         return true;
     },
     "] BDA Device Name: [Arden]", false},
};

enum class Target {
    Missing,            // created with the content
    Folder,             // a folder with a file of the user's in it
    PipeWithoutReader,  // an open() for writing would wait for a reader for ever
    PipeWithReader,     // an open() succeeds: a careless writer hands it the content
    LinkToPipe,         // the same behind a link
    LinkToDevNull,      // a device that swallows what it is given
};

struct TargetCase {
    const char* name;
    Target target;
};

void PrintTo(const TargetCase& target, std::ostream* out) {
    *out << target.name;
}

const TargetCase kTargets[] = {
    {"Missing", Target::Missing},
    {"Folder", Target::Folder},
    {"PipeWithoutReader", Target::PipeWithoutReader},
    {"PipeWithReader", Target::PipeWithReader},
    {"LinkToPipe", Target::LinkToPipe},
    {"LinkToDevNull", Target::LinkToDevNull},
};

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class WriteTargetFaultsTest : public ::testing::TestWithParam<std::tuple<WriterCase, TargetCase>> {
protected:
    WriteTargetFaultsTest() {
        test_roots::SetConfigFolder(m_folder.File("config"));
        test_roots::SetDriveCRoot(m_folder.Path());
        fs::create_directories(m_folder.File("config/Scans"));
        fs::create_directories(m_folder.File("elsewhere"));
    }
    ~WriteTargetFaultsTest() override {
        if (m_nReader >= 0) ::close(m_nReader);
        test_roots::SetConfigFolder({});
        test_roots::SetDriveCRoot({});
    }

    // Puts the target at `path`; a pipe's read end stays open in m_nReader.
    void Make(Target target, const std::string& path) {
        const std::string pipe =
            target == Target::LinkToPipe ? m_folder.File("elsewhere/pipe") : path;
        switch (target) {
            case Target::Missing:
                break;
            case Target::Folder:
                fs::create_directory(path);
                WriteWholeFile(path + "/inside", "kept");
                break;
            case Target::PipeWithoutReader:
                ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
                break;
            case Target::PipeWithReader:
            case Target::LinkToPipe:
                ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
                m_nReader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                ASSERT_GE(m_nReader, 0);
                if (target == Target::LinkToPipe) fs::create_symlink(pipe, path);
                break;
            case Target::LinkToDevNull:
                fs::create_symlink("/dev/null", path);
                break;
        }
    }

    // What reached the pipe's read end.
    std::string Arrived() const {
        char buffer[4096];
        const ssize_t got = ::read(m_nReader, buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

    CTempFolder m_folder;
    int m_nReader = -1;
};

TEST_P(WriteTargetFaultsTest, TheWriteReturnsAtOnceAndOnlyARegularFileTakesTheContent) {
    const auto& [writer, targetCase] = GetParam();
    const Target target = targetCase.target;
    const std::string path = writer.path();
    ASSERT_EQ(path.rfind(m_folder.Path(), 0), 0u) << path;
    Make(target, path);
    if (HasFatalFailure()) return;
    const std::string folder = fs::path(path).parent_path().string();
    const std::set<std::string> before = Names(folder);

    bool wrote = false;
    {
        // A write that hangs ends the test program here.
        const CHangWatchdog watchdog(std::string(writer.name) + " into " + targetCase.name,
                                     std::chrono::seconds(10));
        wrote = writer.write(path);
    }

    if (target == Target::Missing) {
        EXPECT_TRUE(wrote);
        EXPECT_NE(ReadWholeFile(path).find(writer.written), std::string::npos)
            << ReadWholeFile(path);
        return;
    }
    if (writer.reportsFailure) {
        EXPECT_FALSE(wrote) << "a write into something other than a file reported success";
    }
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0) << "what stood there was removed";
    switch (target) {
        case Target::Folder:
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(Names(path), std::set<std::string>{"inside"});
            EXPECT_EQ(ReadWholeFile(path + "/inside"), "kept");
            break;
        case Target::PipeWithoutReader:
        case Target::PipeWithReader:
            EXPECT_TRUE(S_ISFIFO(info.st_mode));
            break;
        case Target::LinkToPipe:
        case Target::LinkToDevNull:
            ASSERT_TRUE(S_ISLNK(info.st_mode));
            EXPECT_EQ(fs::read_symlink(path), target == Target::LinkToDevNull
                                                  ? "/dev/null"
                                                  : m_folder.File("elsewhere/pipe"));
            break;
        case Target::Missing:
            break;
    }
    if (m_nReader >= 0) {
        EXPECT_EQ(Arrived(), "");
    }
    EXPECT_EQ(Names(folder), before) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Files, WriteTargetFaultsTest,
                         ::testing::Combine(::testing::ValuesIn(kWriters),
                                            ::testing::ValuesIn(kTargets)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).name) + "_" +
                                    std::get<1>(test.param).name;
                         });

}  // namespace

// The diagnostic log (Keplin.log) and the simulated card's trace (SimulatedCard.log) in the "drive
// C" folder when something other than a regular file stands at their paths, in the whole program
// on the simulated card. A pipe without a reader used to hang the program in open() before its
// window appeared; now the window comes up and nothing is written into or through such a path,
// while a regular file, or a link to one, gets the lines as before.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "core/diagnostic_log.h"
#include "drivers/sim/sim_trace.h"
#include "platform/win/file_locations.h"
#include "program/sim_program.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

enum class Target {
    Missing,            // created at the first line
    RegularFile,        // lines appended after what it held
    LinkToRegularFile,  // lines go to the file the link leads to
    PipeWithoutReader,  // open() for writing would wait for a reader for ever
    PipeWithReader,     // open() succeeds: a careless writer would hand it the lines
    LinkToDevZero,      // a device: writes vanish, so nothing may be written at all
    LinkToTerminal,     // a device that shows what reaches it: a pseudo-terminal
};

struct TargetCase {
    const char* name;
    Target target;
};

void PrintTo(const TargetCase& test, std::ostream* out) {
    *out << test.name;
}

const TargetCase kTargets[] = {
    {"Missing", Target::Missing},
    {"RegularFile", Target::RegularFile},
    {"LinkToRegularFile", Target::LinkToRegularFile},
    {"PipeWithoutReader", Target::PipeWithoutReader},
    {"PipeWithReader", Target::PipeWithReader},
    {"LinkToDevZero", Target::LinkToDevZero},
    {"LinkToTerminal", Target::LinkToTerminal},
};

constexpr const char* kEarlier = "an earlier line\n";

bool TakesLines(Target target) {
    return target == Target::Missing || target == Target::RegularFile ||
           target == Target::LinkToRegularFile;
}

// Where lines written into a pipe or a terminal would arrive: the pipe's read end, or the
// terminal's master side, held open while the program runs.
class CArrivals {
public:
    // The read end of the pipe at `path`.
    static std::unique_ptr<CArrivals> OfPipe(const std::string& path) {
        return std::unique_ptr<CArrivals>(
            new CArrivals(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)));
    }
    // A new pseudo-terminal; its device is TerminalPath().
    static std::unique_ptr<CArrivals> OfNewTerminal() {
        auto arrivals = std::unique_ptr<CArrivals>(
            new CArrivals(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)));
        const int master = arrivals->m_hFile;
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::fcntl(master, F_SETFL, O_NONBLOCK) != 0) {
            return nullptr;
        }
        return arrivals;
    }
    ~CArrivals() {
        if (m_hFile >= 0) ::close(m_hFile);
    }
    CArrivals(const CArrivals&) = delete;
    CArrivals& operator=(const CArrivals&) = delete;

    bool IsOpen() const { return m_hFile >= 0; }
    std::string TerminalPath() const {
        char name[128] = {};
        return ::ptsname_r(m_hFile, name, sizeof name) == 0 ? name : "";
    }
    // What has arrived so far.
    std::string Received() const {
        char buffer[4096];
        const ssize_t got = ::read(m_hFile, buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

private:
    explicit CArrivals(int file) : m_hFile(file) {}
    int m_hFile;
};

class LogFileFaultsTest : public SimProgramTest, public ::testing::WithParamInterface<TargetCase> {
protected:
    Target TheTarget() const { return GetParam().target; }

    // Puts the target at `path`; a link's file lies in "elsewhere/". Returns where lines would
    // arrive when the target is a pipe with a reader or a terminal.
    std::unique_ptr<CArrivals> Make(const std::string& path) {
        std::unique_ptr<CArrivals> arrivals;
        switch (TheTarget()) {
            case Target::Missing:
                break;
            case Target::RegularFile:
                WriteWholeFile(path, kEarlier);
                break;
            case Target::LinkToRegularFile:
                fs::create_directories(m_program.File("elsewhere"));
                WriteWholeFile(LinkedFile(path), kEarlier);
                fs::create_symlink(LinkedFile(path), path);
                break;
            case Target::PipeWithoutReader:
                EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
                break;
            case Target::PipeWithReader:
                EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
                arrivals = CArrivals::OfPipe(path);
                EXPECT_TRUE(arrivals->IsOpen());
                break;
            case Target::LinkToDevZero:
                fs::create_symlink("/dev/zero", path);
                break;
            case Target::LinkToTerminal:
                arrivals = CArrivals::OfNewTerminal();
                EXPECT_NE(arrivals, nullptr) << "no pseudo-terminal";
                if (arrivals) fs::create_symlink(arrivals->TerminalPath(), path);
                break;
        }
        return arrivals;
    }

    std::string LinkedFile(const std::string& path) const {
        return m_program.File("elsewhere/" + fs::path(path).filename().string());
    }

    // What a regular target holds now.
    std::string Lines(const std::string& path) const {
        return ReadWholeFile(TheTarget() == Target::LinkToRegularFile ? LinkedFile(path) : path);
    }

    void ExpectUnchanged(const std::string& path) const {
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
        if (TheTarget() == Target::LinkToDevZero) {
            ASSERT_TRUE(S_ISLNK(info.st_mode)) << path;
            EXPECT_EQ(fs::read_symlink(path), "/dev/zero");
        } else if (TheTarget() == Target::LinkToTerminal) {
            EXPECT_TRUE(S_ISLNK(info.st_mode)) << path;
        } else {
            EXPECT_TRUE(S_ISFIFO(info.st_mode)) << path;
        }
    }
};

TEST_P(LogFileFaultsTest, TheProgramComesUpAndWritesItsLinesOnlyIntoRegularFiles) {
    const std::string log = platform::DiagnosticLogFile();
    const std::string trace = CSimTrace::Path();
    ASSERT_EQ(log, m_program.File("Keplin.log"));
    ASSERT_EQ(trace, m_program.File("SimulatedCard.log"));
    const std::unique_ptr<CArrivals> logArrivals = Make(log);
    const std::unique_ptr<CArrivals> traceArrivals = Make(trace);
    if (HasFailure()) return;

    // A hang before the window comes up ends the test program through the watchdog.
    CSimProgramWindow window;
    bool cameUp = false;
    const int result = RunModal(window, [&] {
        cameUp = true;
        EnterTransponder(window);
        EXPECT_TRUE(LockTp(window, m_program.Clock())) << "the card did not lock";
        window.close();
    });
    EXPECT_TRUE(cameUp);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(m_program.Boxes().Texts().empty())
        << ::testing::PrintToString(m_program.Boxes().Texts());

    if (TakesLines(TheTarget())) {
        const std::string earlier = TheTarget() == Target::Missing ? "" : kEarlier;
        const std::string logText = Lines(log);
        EXPECT_TRUE(logText.starts_with(earlier));
        EXPECT_NE(logText.find("] BDA Device Name: [VLK Arden"), std::string::npos) << logText;
        const std::string traceText = Lines(trace);
        EXPECT_TRUE(traceText.starts_with(earlier));
        EXPECT_NE(traceText.find(" Arden tune "), std::string::npos) << traceText;
        return;
    }
    ExpectUnchanged(log);
    ExpectUnchanged(trace);
    for (const auto* arrivals : {logArrivals.get(), traceArrivals.get()}) {
        if (arrivals != nullptr) {
            EXPECT_EQ(arrivals->Received(), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LogFileFaultsTest, ::testing::ValuesIn(kTargets),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace

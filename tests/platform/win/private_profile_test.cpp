#include "platform/win/private_profile.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t PermissionBits(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Runs `probe` where file permissions apply: as root, in a child process that has become
// "nobody" (root passes every permission check). Returns what the probe returned, 0..254.
int RunWithoutPrivileges(const std::function<int()>& probe) {
    if (::geteuid() != 0) return probe();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(255);
        }
        ::_exit(probe() & 0xFF);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PrivateProfileTest : public ::testing::Test {
protected:
    std::string Read(const char* section, const char* key, DWORD size = 260,
                     const char* defaultValue = "") {
        std::vector<char> buffer(size + 1, '#');  // one guard byte past the declared size
        const DWORD count = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(),
                                                     size, m_strIni.c_str());
        EXPECT_LT(count, size);
        EXPECT_EQ(buffer[count], '\0');
        EXPECT_EQ(buffer[size], '#') << "wrote past the buffer";
        return std::string(buffer.data(), count);
    }

    BOOL Write(const char* section, const char* key, const char* value) {
        return WritePrivateProfileStringA(section, key, value, m_strIni.c_str());
    }

    CTempFolder m_folder;
    std::string m_strIni = m_folder.File("VLK-TScap.ini");
};

// --- Reading -----------------------------------------------------------------------------

TEST_F(PrivateProfileTest, NamesAreCaseInsensitiveAndTrimmed) {
    WriteBytes(m_strIni, "[Config]\n  Freq = 11778 \nSymbol\t=\t27500\t\n[ Other Part ]\nk=v\n");
    EXPECT_EQ(Read("config", "FREQ"), "11778");
    EXPECT_EQ(Read("  CONFIG ", " symbol "), "27500");
    EXPECT_EQ(Read("other part", "K"), "v");
    EXPECT_EQ(Read("OtherPart", "k", 260, "none"), "none");  // inner blanks count
}

TEST_F(PrivateProfileTest, ValuesLoseBlanksAndOnePairOfMatchingQuotes) {
    WriteBytes(m_strIni,
               "[Q]\n"
               "a=\"quoted\"\n"
               "b='single'\n"
               "c=\"mismatch'\n"
               "d=\"\n"
               "e=\"\"\n"
               "f=\" padded \"\n"
               "g=\"x\"y\"\n"
               "h=  \"q\"  \n"
               "i=''x''\n"
               "j=x\"y\"\n"
               "k=\n"
               "l=   \n");
    const std::pair<const char*, const char*> expected[] = {
        {"a", "quoted"},   {"b", "single"}, {"c", "\"mismatch'"}, {"d", "\""},  {"e", ""},
        {"f", " padded "}, {"g", "x\"y"},   {"h", "q"},           {"i", "'x'"}, {"j", "x\"y\""},
        {"k", ""},         {"l", ""},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(Read("Q", key, 260, "default"), value) << "key " << key;
        EXPECT_EQ(GetLastError(), 0U) << "key " << key;
    }
}

TEST_F(PrivateProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read("Config", "freq", 260, "dflt"), "dflt");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_EQ(Read("Config", "freq"), "");

    WriteBytes(m_strIni, "top=1\n[Config]\nfreq=5\n");
    EXPECT_EQ(Read("Nope", "freq", 260, "dflt"), "dflt");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_EQ(Read("Config", "nope", 260, "dflt"), "dflt");
    // A key above the first header belongs to no section.
    EXPECT_EQ(Read("", "top", 260, "dflt"), "dflt");
    EXPECT_EQ(Read("Config", "top", 260, "dflt"), "dflt");
    // The default loses trailing blanks, and is cut to the buffer like a value.
    EXPECT_EQ(Read("Config", "nope", 260, "dflt  \t"), "dflt");
    EXPECT_EQ(Read("Config", "nope", 3, "default"), "de");
    EXPECT_EQ(Read("Config", "nope", 260, nullptr), "");
}

TEST_F(PrivateProfileTest, FirstSectionAndFirstKeyWin) {
    WriteBytes(m_strIni, "[A]\nk=1\nK=2\n[B]\nk=b\n[a]\nk=3\nj=4\n");
    EXPECT_EQ(Read("A", "k"), "1");
    EXPECT_EQ(Read("A", "j", 260, "dflt"), "dflt");  // the second [a] is not consulted
    EXPECT_EQ(Read("B", "k"), "b");
}

TEST_F(PrivateProfileTest, CommentsAndOtherLinesAreNotKeys) {
    WriteBytes(
        m_strIni,
        "; k=top\n[A]\n;k=1\n   ; k=2\nk\n=empty name\nk=3\n[B\nk=4\n[C] trailing text\nk=5\n");
    EXPECT_EQ(Read("A", "k"), "3");
    EXPECT_EQ(Read("A", ""), "empty name");
    EXPECT_EQ(Read("B", "k", 260, "dflt"), "dflt");  // "[B" without ']' is no header
    EXPECT_EQ(Read("C", "k"), "5");
}

TEST_F(PrivateProfileTest, CrLfLinesReadLikeLfLines) {
    WriteBytes(m_strIni, "[A]\r\nk=v\r\nq=\"x\"\r\nlast=end");
    EXPECT_EQ(Read("A", "k"), "v");
    EXPECT_EQ(Read("A", "q"), "x");
    EXPECT_EQ(Read("A", "last"), "end");  // a last line without line end still counts
}

TEST_F(PrivateProfileTest, ReadIsCutToTheBuffer) {
    const std::string longValue = [] {
        std::string text;
        for (int i = 0; i < 300; ++i) text.push_back(static_cast<char>('a' + i % 26));
        return text;
    }();
    WriteBytes(m_strIni, "[A]\nlong=" + longValue + "\nexact=" + longValue.substr(0, 259) +
                             "\nquoted=\"" + longValue + "\"\nshort=abcdef\n");
    // The system reads into 260 bytes: 259 characters and the terminator.
    EXPECT_EQ(Read("A", "long"), longValue.substr(0, 259));
    EXPECT_EQ(Read("A", "exact"), longValue.substr(0, 259));
    EXPECT_EQ(Read("A", "quoted"), longValue.substr(0, 259));
    EXPECT_EQ(Read("A", "short", 5), "abcd");
    EXPECT_EQ(Read("A", "short", 7), "abcdef");
    EXPECT_EQ(Read("A", "short", 1), "");

    char untouched = 'x';
    EXPECT_EQ(GetPrivateProfileStringA("A", "short", "", &untouched, 0, m_strIni.c_str()), 0U);
    EXPECT_EQ(untouched, 'x');
}

TEST_F(PrivateProfileTest, BinaryAndTruncatedFilesReadSafely) {
    WriteBytes(m_strIni, "[A]\nk=ab\0cd\n[B\0]\nk=1\n[\xff\xfe]\nx=\x80\x81\n[C]\nk=v\0"s);
    EXPECT_EQ(Read("A", "k"), "ab");  // the count matches the terminated text
    EXPECT_EQ(Read("B", "k", 260, "dflt"), "dflt");
    EXPECT_EQ(Read("\xff\xfe", "x"), "\x80\x81");
    EXPECT_EQ(Read("C", "k"), "v");

    const std::pair<std::string, std::string> truncated[] = {
        {"[A]\nk=val", "val"}, {"[A]\nk=\"val", "\"val"}, {"[A]\nk", "dflt"},
        {"[A", "dflt"},        {"[A]", "dflt"},           {"", "dflt"},
        {"[A]\nk=\r", ""},
    };
    for (const auto& [content, expected] : truncated) {
        WriteBytes(m_strIni, content);
        EXPECT_EQ(Read("A", "k", 260, "dflt"), expected) << "file \"" << content << "\"";
    }
}

// Random files of header-, key- and comment-like lines with stray bytes in them, read at many
// buffer sizes. Counts the reads that found a value, so the test cannot pass on defaults only.
TEST_F(PrivateProfileTest, RandomContentNeverBreaksTheReader) {
    const std::string heads[] = {
        "[a]", "[A]", " [ a ]x", "[b]", "[a", "k=", "K =", " k\t=", "=", ";k=", "k", "", "\0"s};
    const std::string bytes[] = {" ", "\t", "\"", "'", "v", "xyz", "\0"s, "\xff", "\r", "=", "["};
    const std::string ends[] = {"\n", "\r\n", "\n", ""};
    std::mt19937 random(20240607);
    const auto any = [&random](const auto& table) {
        return table[std::uniform_int_distribution<std::size_t>(0, std::size(table) - 1)(random)];
    };
    std::uniform_int_distribution<int> count(0, 8);
    int found = 0;
    for (int file = 0; file < 400; ++file) {
        std::string content;
        for (int line = count(random); line > 0; --line) {
            content += any(heads);
            for (int n = count(random); n > 0; --n) content += any(bytes);
            content += any(ends);
        }
        WriteBytes(m_strIni, content);
        for (const char* section : {"a", "b", ""}) {
            // A small buffer must give the start of what a large one gets (the files are
            // shorter than 260 bytes, so the large one is never cut).
            const std::string whole = Read(section, "k", 260, "");
            EXPECT_EQ(whole.find('\0'), std::string::npos);
            if (GetLastError() == 0) ++found;
            for (DWORD size : {1U, 2U, 3U, 4U, 8U}) {
                EXPECT_EQ(Read(section, "k", size, ""), whole.substr(0, size - 1))
                    << "buffer " << size << ", file " << ::testing::PrintToString(content);
            }
        }
    }
    EXPECT_GT(found, 50);
}

// A reader that loads a whole line (or file) into memory shows here as a jump in peak size.
TEST_F(PrivateProfileTest, HugeFileIsReadAsAStream) {
    constexpr std::size_t kMegabyte = std::size_t{1024} * 1024;
    constexpr std::size_t kLineMegabytes = 48;
    {
        std::ofstream out(m_strIni, std::ios::binary);
        out << "[Junk]\nblob=";
        const std::string block(kMegabyte, 'x');
        for (std::size_t i = 0; i < kLineMegabytes; ++i) out << block;
        out << "\n;" << block << "\n[Wanted]\nkey=found\n";
        ASSERT_TRUE(out.good());
    }
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(Read("Wanted", "key"), "found");
    EXPECT_EQ(Read("Junk", "blob"), std::string(259, 'x'));
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const long grownKilobytes = after.ru_maxrss - before.ru_maxrss;
    EXPECT_LT(grownKilobytes, static_cast<long>(kLineMegabytes / 2 * 1024));
}

TEST_F(PrivateProfileTest, LastErrorIsPerThread) {
    SetLastError(1234);
    DWORD seenByOther = 99;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(77);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0U);
    EXPECT_EQ(GetLastError(), 1234U);
}

// --- Writing -----------------------------------------------------------------------------

TEST_F(PrivateProfileTest, WriteCreatesANewFile) {
    const mode_t previousMask = ::umask(022);
    const BOOL written = Write("Config", "freq", "11778");
    ::umask(previousMask);
    ASSERT_EQ(written, TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[Config]\nfreq=11778\n");
    EXPECT_EQ(PermissionBits(m_strIni), 0644U);
    EXPECT_EQ(Read("config", "FREQ"), "11778");
}

TEST_F(PrivateProfileTest, ReplacingAValueKeepsEveryOtherByte) {
    const std::string original =
        "; settings of the tuner page\n"
        "[Other]\n"
        "Freq=1\n"
        "\n"
        "[Config]   ; trailing\n"
        "  Freq =  11778   \n"
        "\tSymbol= 27500\n"
        "junk line\n"
        "[Tail]\n"
        "x = \"keep\"\n";
    WriteBytes(m_strIni, original);
    ASSERT_EQ(Write("config", "FREQ", "12000"), TRUE);
    std::string expected = original;
    expected.replace(expected.find("11778   "), 8, "12000");
    EXPECT_EQ(ReadBytes(m_strIni), expected);

    ASSERT_EQ(Write("Config", "symbol", ""), TRUE);
    expected.replace(expected.find("27500"), 5, "");
    EXPECT_EQ(ReadBytes(m_strIni), expected);
    // Blanks after the '=' of an empty value give way to the new value.
    ASSERT_EQ(Write("Config", "symbol", "22000"), TRUE);
    expected.replace(expected.find("Symbol= ") + 7, 1, "22000");
    EXPECT_EQ(ReadBytes(m_strIni), expected);
}

TEST_F(PrivateProfileTest, AMissingKeyGoesAfterTheSectionsLastKey) {
    WriteBytes(m_strIni, "[A]\nx=1\n; note\n\n[B]\ny=2\n");
    ASSERT_EQ(Write("a", "New", "v"), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[A]\nx=1\nNew=v\n; note\n\n[B]\ny=2\n");

    WriteBytes(m_strIni, "[A]\n; only a comment\n[B]\n");
    ASSERT_EQ(Write("A", "k", "v"), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[A]\nk=v\n; only a comment\n[B]\n");
}

TEST_F(PrivateProfileTest, UnterminatedLastLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"[A]", "[A]\nk=v\n"},
        {"[A]\nx=1", "[A]\nx=1\nk=v\n"},
        {"[A]\nk=old", "[A]\nk=v"},
        {"[A]\r\nk=old", "[A]\r\nk=v"},
    };
    for (const auto& [content, expected] : cases) {
        WriteBytes(m_strIni, content);
        ASSERT_EQ(Write("A", "k", "v"), TRUE);
        EXPECT_EQ(ReadBytes(m_strIni), expected) << "file \"" << content << "\"";
    }
}

TEST_F(PrivateProfileTest, ANewSectionIsAppendedAfterABlankLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "[S]\nk=v\n"},
        {"a=1\n", "a=1\n\n[S]\nk=v\n"},
        {"a=1", "a=1\n\n[S]\nk=v\n"},
        {"a=1\n\n", "a=1\n\n[S]\nk=v\n"},
        {"[A]\r\na=1\r\n", "[A]\r\na=1\r\n\r\n[S]\r\nk=v\r\n"},
        {"[A]\r\na=1", "[A]\r\na=1\r\n\r\n[S]\r\nk=v\r\n"},
    };
    for (const auto& [content, expected] : cases) {
        WriteBytes(m_strIni, content);
        ASSERT_EQ(Write("S", "k", "v"), TRUE);
        EXPECT_EQ(ReadBytes(m_strIni), expected) << "file \"" << content << "\"";
    }
}

TEST_F(PrivateProfileTest, CrLfFileStaysCrLf) {
    WriteBytes(m_strIni, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_EQ(Write("A", "x", "9"), TRUE);
    ASSERT_EQ(Write("A", "z", "3"), TRUE);
    ASSERT_EQ(Write("C", "w", "4"), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[A]\r\nx=9\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nw=4\r\n");
}

TEST_F(PrivateProfileTest, WrittenValuesReadBack) {
    const char* values[] = {"plain", "with blanks inside", "\"quoted\"", "",
                            "x=y",   "[not a header]"};
    for (const char* value : values) {
        ASSERT_EQ(Write("Round", "trip", value), TRUE) << value;
        std::string expected = value;
        if (expected.size() >= 2 && expected.front() == '"')
            expected = expected.substr(1, expected.size() - 2);
        EXPECT_EQ(Read("Round", "trip"), expected);
    }
    // Blanks around a value are written as given and trimmed on reading, as the system does.
    ASSERT_EQ(Write("Round", "trip", "  spaced  "), TRUE);
    EXPECT_EQ(Read("Round", "trip"), "spaced");
}

TEST_F(PrivateProfileTest, NullValueDeletesTheKeyAndNullKeyTheSection) {
    WriteBytes(m_strIni, "[A]\nx=1\ny=2\n\n[B]\nz=3\n");
    ASSERT_EQ(Write("A", "X", nullptr), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[A]\ny=2\n\n[B]\nz=3\n");
    ASSERT_EQ(Write("a", nullptr, nullptr), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[B]\nz=3\n");
    // Deleting what is not there changes nothing and creates no file.
    ASSERT_EQ(Write("A", "x", nullptr), TRUE);
    ASSERT_EQ(Write("Gone", nullptr, nullptr), TRUE);
    EXPECT_EQ(ReadBytes(m_strIni), "[B]\nz=3\n");
    const std::string absent = m_folder.File("absent.ini");
    EXPECT_EQ(WritePrivateProfileStringA("A", "x", nullptr, absent.c_str()), TRUE);
    EXPECT_FALSE(std::filesystem::exists(absent));
}

TEST_F(PrivateProfileTest, TextsThatWouldBreakTheFileAreRefused) {
    WriteBytes(m_strIni, "[A]\nx=1\n");
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } refused[] = {
        {"A", "x", "two\nlines"}, {"A", "x", "cr\r"}, {"A", "k=j", "v"}, {"A", " [k", "v"},
        {"A", ";k", "v"},         {"A]", "x", "v"},   {"A\n", "x", "v"}, {nullptr, "x", "v"},
    };
    for (const auto& r : refused) {
        SetLastError(0);
        EXPECT_EQ(Write(r.section, r.key, r.value), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    }
    EXPECT_EQ(ReadBytes(m_strIni), "[A]\nx=1\n");
}

TEST_F(PrivateProfileTest, WriteIntoAMissingFolderFails) {
    const std::string path = m_folder.File("missing/VLK-TScap.ini");
    SetLastError(0);
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", "v", path.c_str()), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", "v", m_folder.Path().c_str()), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EISDIR));
}

TEST_F(PrivateProfileTest, APipeOrADeviceIsNeitherReadNorReplaced) {
    // A pipe without a writer would block the reader's open; /dev/zero would never end; a write
    // would rename a new file over either.
    const std::string pipe = m_folder.File("pipe.ini");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::string endless = m_folder.File("endless.ini");
    std::filesystem::create_symlink("/dev/zero", endless);
    for (const std::string& path : {pipe, endless}) {
        char buffer[16] = "#";
        SetLastError(0);
        EXPECT_EQ(
            GetPrivateProfileStringA("A", "k", "default", buffer, sizeof buffer, path.c_str()), 7U);
        EXPECT_STREQ(buffer, "default");
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL)) << path;
        EXPECT_EQ(WritePrivateProfileStringA("A", "k", "v", path.c_str()), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL)) << path;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_EQ(std::filesystem::read_symlink(endless), "/dev/zero");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/zero"));
    EXPECT_EQ(FolderEntries(m_folder.Path()),
              (std::vector<std::string>{"endless.ini", "pipe.ini"}));
}

TEST_F(PrivateProfileTest, WriteWithoutPermissionFailsAndKeepsTheFile) {
    // The temporary folder must be reachable for the unprivileged child.
    ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0755), 0);
    const std::string locked = m_folder.File("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    const std::string lockedIni = locked + "/VLK-TScap.ini";
    WriteBytes(lockedIni, "[A]\nk=old\n");
    ASSERT_EQ(::chmod(lockedIni.c_str(), 0666), 0);  // only the folder stands in the way
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    const auto tryWrite = [](const std::string& path) {
        return [path] {
            if (WritePrivateProfileStringA("A", "k", "new", path.c_str()) != FALSE) return 0;
            return static_cast<int>(GetLastError());
        };
    };
    EXPECT_EQ(RunWithoutPrivileges(tryWrite(lockedIni)), EACCES);
    EXPECT_EQ(ReadBytes(lockedIni), "[A]\nk=old\n");

    // A read-only file is not replaced, even in a folder that would allow it.
    const std::string open = m_folder.File("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const std::string readOnlyIni = open + "/VLK-TScap.ini";
    WriteBytes(readOnlyIni, "[A]\nk=old\n");
    ASSERT_EQ(::chmod(readOnlyIni.c_str(), 0444), 0);
    EXPECT_EQ(RunWithoutPrivileges(tryWrite(readOnlyIni)), EACCES);
    EXPECT_EQ(ReadBytes(readOnlyIni), "[A]\nk=old\n");
    EXPECT_EQ(FolderEntries(open), std::vector<std::string>{"VLK-TScap.ini"});
}

TEST_F(PrivateProfileTest, ReplacementIsAtomicAndKeepsPermissionBits) {
    WriteBytes(m_strIni, "[A]\nk=old\n");
    for (const mode_t mode : {0640U, 0604U, 0600U}) {
        ASSERT_EQ(::chmod(m_strIni.c_str(), mode), 0);
        // A reader that opened the file before the write keeps seeing the old content whole:
        // the file is replaced, not rewritten in place.
        const int before = ::open(m_strIni.c_str(), O_RDONLY);
        ASSERT_GE(before, 0);
        ASSERT_EQ(Write("A", "k", "a much longer new value"), TRUE);
        char old[32] = {};
        EXPECT_EQ(::read(before, old, sizeof(old)), 10);
        EXPECT_STREQ(old, "[A]\nk=old\n");
        ::close(before);
        EXPECT_EQ(PermissionBits(m_strIni), mode);
        EXPECT_EQ(FolderEntries(m_folder.Path()), std::vector<std::string>{"VLK-TScap.ini"});
        WriteBytes(m_strIni, "[A]\nk=old\n");
    }
}

TEST_F(PrivateProfileTest, WriteThroughALinkUpdatesItsTarget) {
    const std::string target = m_folder.File("real.ini");
    WriteBytes(target, "[A]\nk=1\n");
    ASSERT_EQ(::symlink("real.ini", m_strIni.c_str()), 0);
    ASSERT_EQ(Write("A", "k", "2"), TRUE);
    EXPECT_TRUE(std::filesystem::is_symlink(m_strIni));
    EXPECT_EQ(ReadBytes(target), "[A]\nk=2\n");
}

// Writers of one process are serialised: no key written by any thread is lost.
TEST_F(PrivateProfileTest, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kKeys = 15;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
                EXPECT_EQ(Write("Shared", key.c_str(), key.c_str()), TRUE);
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
            EXPECT_EQ(Read("Shared", key.c_str()), key);
        }
    }
}

}  // namespace

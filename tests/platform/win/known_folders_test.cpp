#include "platform/win/known_folders.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/folder_roots.h"
#include "support/temp_folder.h"

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Sets (or, with nullopt, removes) an environment variable for the life of the object.
class CScopedEnv {
public:
    CScopedEnv(const char* name, std::optional<std::string> value) : m_szName(name) {
        if (const char* old = ::getenv(name)) m_strOld = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;
    ~CScopedEnv() {
        if (m_strOld) {
            ::setenv(m_szName, m_strOld->c_str(), 1);
        } else {
            ::unsetenv(m_szName);
        }
    }

private:
    const char* m_szName;
    std::optional<std::string> m_strOld;
};

class KnownFoldersTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetFolderRoots({}); }

    CTempFolder m_folder;
};

TEST_F(KnownFoldersTest, ProgramFolderIsTheTestBinarysFolder) {
    const std::string folder = platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_EQ(std::filesystem::canonical(folder), std::filesystem::canonical(VLK_TEST_BINARY_DIR));
    EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(folder, "platform_tests")));
}

TEST_F(KnownFoldersTest, DriveCRootIsTheHomeFolder) {
    {
        CScopedEnv home("HOME", m_folder.Path() + "/");
        EXPECT_EQ(platform::DriveCRoot(), m_folder.Path());  // without the trailing '/'
        EXPECT_EQ(platform::EnvironmentFolderRoots().driveCRoot, m_folder.Path());
    }
    {
        // Without $HOME the account database answers.
        CScopedEnv home("HOME", std::nullopt);
        const passwd* account = ::getpwuid(::getuid());
        ASSERT_NE(account, nullptr);
        std::string expected = account->pw_dir;
        while (expected.size() > 1 && expected.back() == '/') expected.pop_back();
        EXPECT_EQ(platform::DriveCRoot(), expected);
    }
    {
        CScopedEnv home("HOME", "");
        EXPECT_EQ(platform::DriveCRoot(), std::string(::getpwuid(::getuid())->pw_dir));
    }
}

TEST_F(KnownFoldersTest, DriveCPathsMapOntoTheRoot) {
    test_roots::SetDriveCRoot("/home/user");
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\Keplin.log", "/home/user/Keplin.log"},
        {"C:\\Vantor-capture.ts", "/home/user/Vantor-capture.ts"},
        {"c:\\a\\b.ts", "/home/user/a/b.ts"},
        {"c:/a/b.ts", "/home/user/a/b.ts"},
        {"c:\\\\a\\b\\", "/home/user/a/b/"},
        {"c:record.ts", "/home/user/record.ts"},
        {"c:", "/home/user"},
        {"C:\\", "/home/user"},
        // Anything else stays as it is.
        {"d:\\Keplin.log", "d:\\Keplin.log"},
        {"/tmp/x.ts", "/tmp/x.ts"},
        {"relative\\x.ts", "relative\\x.ts"},
        {"cc:\\x", "cc:\\x"},
        {"c", "c"},
        {"", ""},
    };
    for (const auto& [windowsPath, expected] : cases) {
        EXPECT_EQ(platform::MapDriveCPath(windowsPath), expected) << windowsPath;
    }
}

TEST_F(KnownFoldersTest, JoinPathUsesExactlyOneSlash) {
    const struct {
        const char* folder;
        const char* name;
        const char* expected;
    } cases[] = {
        {"a", "b", "a/b"},  {"a/", "b", "a/b"},
        {"a", "/b", "a/b"}, {"a//", "//b", "a/b"},
        {"/", "b", "/b"},   {"", "b", "b"},
        {"a", "", "a"},     {"/x/y", "Transponders", "/x/y/Transponders"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::JoinPath(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
    }
}

TEST_F(KnownFoldersTest, ConfigFolderFollowsXdgAndIsCreated) {
    const std::string xdg = m_folder.File("xdg");
    {
        CScopedEnv env("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(platform::EnvironmentFolderRoots().configFolder, xdg + "/vlk-tscap");
        EXPECT_FALSE(IsFolder(xdg + "/vlk-tscap")) << "only a use of the folder creates it";
        EXPECT_EQ(platform::ConfigFolder(), xdg + "/vlk-tscap");
        EXPECT_TRUE(IsFolder(xdg + "/vlk-tscap"));
    }
    const std::string home = m_folder.File("home");
    test_roots::SetDriveCRoot(home);
    for (const std::optional<std::string>& value :
         {std::optional<std::string>("relative/config"), std::optional<std::string>()}) {
        // A relative (invalid) or missing $XDG_CONFIG_HOME means ~/.config.
        CScopedEnv env("XDG_CONFIG_HOME", value);
        EXPECT_EQ(platform::ConfigFolder(), home + "/.config/vlk-tscap");
        EXPECT_TRUE(IsFolder(home + "/.config/vlk-tscap"));
    }
}

TEST_F(KnownFoldersTest, SetRootsReplaceTheEnvironmentsUntilCleared) {
    const platform::FolderRoots environment = platform::EnvironmentFolderRoots();
    // What the program sets at start gives the same folders as the environment itself.
    platform::SetFolderRoots(environment);
    EXPECT_EQ(platform::ProgramFolder(), environment.programFolder);
    EXPECT_EQ(platform::DriveCRoot(), environment.driveCRoot);

    const std::string config = m_folder.File("cfg/nested");
    platform::FolderRoots roots;
    roots.programFolder = "/opt/prog";
    roots.driveCRoot = "/srv/c";
    roots.configFolder = config;
    platform::SetFolderRoots(roots);
    EXPECT_EQ(platform::ProgramFolder(), "/opt/prog");
    EXPECT_EQ(platform::DriveCRoot(), "/srv/c");
    EXPECT_EQ(platform::MapDriveCPath("c:\\Keplin.log"), "/srv/c/Keplin.log");
    EXPECT_EQ(platform::ConfigFolder(), config);
    EXPECT_TRUE(IsFolder(config));

    // Roots left empty are the environment's.
    platform::SetFolderRoots({});
    EXPECT_EQ(platform::ProgramFolder(), environment.programFolder);
    EXPECT_EQ(platform::DriveCRoot(), environment.driveCRoot);
}

// Settings stay beside the program only where its user may write: asked as "nobody" in a child
// process when the test runs as root, for whom the kernel grants every write to a folder.
TEST_F(KnownFoldersTest, SettingsStayBesideTheProgramOnlyWhereItsUserMayWrite) {
    ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0755), 0);  // reachable for the child
    const std::string config = m_folder.File("config");
    test_roots::SetConfigFolder(config);
    WriteWholeFile(m_folder.File("file"), "");
    const auto settingsFolderOf = [&](const std::string& program) {
        test_roots::SetProgramFolder(program);
        if (::geteuid() != 0) return platform::SettingsFolder();
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(255);
            }
            const std::string folder = platform::SettingsFolder();
            ::_exit(folder == program ? 0 : folder == config ? 1 : 2);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        const int answer = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return answer == 0 ? program : answer == 1 ? config : "answer " + std::to_string(answer);
    };
    for (const auto& [name, mode] : {std::pair{"read-only", 0555}, {"open", 0777}}) {
        ASSERT_EQ(::mkdir(m_folder.File(name).c_str(), 0700), 0);
        ASSERT_EQ(::chmod(m_folder.File(name).c_str(), mode), 0);  // without the umask
    }
    EXPECT_EQ(settingsFolderOf(m_folder.File("read-only")), config);  // /usr/bin for its users
    EXPECT_EQ(settingsFolderOf(m_folder.File("open")), m_folder.File("open"));
    // Below a regular file no one may write, root included: asked by the test's own user.
    test_roots::SetProgramFolder(m_folder.File("file/bin"));
    EXPECT_EQ(platform::SettingsFolder(), config);
    // An installed program (its data in ../share/vlk-tscap) never writes beside itself, even
    // where its user may (root in /usr/bin): removing the package must leave nothing behind.
    std::filesystem::create_directories(m_folder.File("usr/bin"));
    std::filesystem::create_directories(m_folder.File("usr/share/vlk-tscap"));
    test_roots::SetProgramFolder(m_folder.File("usr/bin"));
    EXPECT_EQ(platform::SettingsFolder(), config);
}

// Readers on other threads while the roots change (run under ThreadSanitizer).
TEST_F(KnownFoldersTest, RootsCanChangeWhileRead) {
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string root = platform::DriveCRoot();
                const std::string program = platform::ProgramFolder();
                if (root.empty() || program.empty()) bad.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 500; ++round) {
        platform::FolderRoots roots;
        roots.driveCRoot = round % 2 == 0 ? "/a/much/longer/root/folder" : "";
        roots.programFolder = round % 3 == 0 ? "/p" : "";
        platform::SetFolderRoots(roots);
    }
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace

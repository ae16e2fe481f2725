#include "platform/win/debug_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;

// Sends standard error to a file for the life of the object.
class CCapturedStderr {
public:
    explicit CCapturedStderr(std::string path) : m_strPath(std::move(path)) {
        m_nSaved = ::dup(STDERR_FILENO);
        const int file = ::open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    CCapturedStderr(const CCapturedStderr&) = delete;
    CCapturedStderr& operator=(const CCapturedStderr&) = delete;
    ~CCapturedStderr() { Restore(); }

    // Restores standard error and returns what was written meanwhile.
    std::string Finish() {
        Restore();
        std::ifstream in(m_strPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    void Restore() {
        if (m_nSaved < 0) return;
        ::dup2(m_nSaved, STDERR_FILENO);
        ::close(m_nSaved);
        m_nSaved = -1;
    }

    std::string m_strPath;
    int m_nSaved = -1;
};

// Counts what it receives and keeps the texts, for a test that sends debugger output elsewhere.
class CCountingOutput final : public platform::DebugOutput {
public:
    void Write(std::string_view text) override {
        m_nCalls.fetch_add(1);
        const std::lock_guard lock(m_lock);
        if (m_texts.size() < 16) m_texts.emplace_back(text);
    }
    int Calls() const { return m_nCalls.load(); }
    std::vector<std::string> Texts() {
        const std::lock_guard lock(m_lock);
        return m_texts;
    }

private:
    std::atomic<int> m_nCalls{0};
    std::mutex m_lock;
    std::vector<std::string> m_texts;
};

class DebugOutputTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetDebugOutput(nullptr); }

    CTempFolder m_folder;
};

TEST_F(DebugOutputTest, EachCallIsOneLineOnStandardError) {
    CCapturedStderr captured(m_folder.File("stderr.txt"));
    OutputDebugStringA("Create Device Enum failed");
    OutputDebugStringA("already ends\n");
    OutputDebugStringA("");
    OutputDebugStringA("two\nlines");
    OutputDebugStringA("nul\0inside"s);
    EXPECT_EQ(captured.Finish(),
              "Create Device Enum failed\nalready ends\n\ntwo\nlines\nnul\0inside\n"s);
}

TEST_F(DebugOutputTest, AnOutputOfItsOwnReceivesTheTextAsGivenUntilTakenBack) {
    const auto output = std::make_shared<CCountingOutput>();
    platform::SetDebugOutput(output);
    CCapturedStderr captured(m_folder.File("stderr.txt"));
    OutputDebugStringA("plain");
    OutputDebugStringA("with line end\n");
    OutputDebugStringA("");
    EXPECT_EQ(output->Texts(), (std::vector<std::string>{"plain", "with line end\n", ""}));

    platform::SetDebugOutput(nullptr);
    OutputDebugStringA("back on stderr");
    EXPECT_EQ(captured.Finish(), "back on stderr\n");  // nothing from while the output was set
    EXPECT_EQ(output->Calls(), 3);
}

// Lines of two threads must arrive whole: each is written with a single write().
TEST_F(DebugOutputTest, LinesOfConcurrentThreadsDoNotMix) {
    constexpr int kLines = 1000;
    const std::string lineA(3000, 'a');
    const std::string lineB(2000, 'b');
    CCapturedStderr captured(m_folder.File("stderr.txt"));
    std::thread writerA([&] {
        for (int i = 0; i < kLines; ++i) OutputDebugStringA(lineA);
    });
    std::thread writerB([&] {
        for (int i = 0; i < kLines; ++i) OutputDebugStringA(lineB + "\n");
    });
    writerA.join();
    writerB.join();
    std::istringstream lines(captured.Finish());
    int countA = 0;
    int countB = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line == lineA) {
            ++countA;
        } else if (line == lineB) {
            ++countB;
        } else {
            ADD_FAILURE() << "mixed line of " << line.size() << " bytes";
        }
    }
    EXPECT_EQ(countA, kLines);
    EXPECT_EQ(countB, kLines);
}

// The output is replaced while other threads write to it (run under ThreadSanitizer).
TEST_F(DebugOutputTest, TheOutputCanBeSwappedWhileInUse) {
    const auto first = std::make_shared<CCountingOutput>();
    const auto second = std::make_shared<CCountingOutput>();
    std::atomic<bool> stop{false};
    platform::SetDebugOutput(first);
    std::vector<std::thread> writers;
    for (int i = 0; i < 2; ++i) {
        writers.emplace_back([&] {
            while (!stop.load()) OutputDebugStringA("tick");
        });
    }
    for (int round = 0; round < 200; ++round) {
        platform::SetDebugOutput(round % 2 == 0 ? second : first);
        std::this_thread::yield();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const int before = first->Calls();
    while (first->Calls() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop = true;
    for (std::thread& writer : writers) writer.join();
    EXPECT_GT(first->Calls(), before);
}

}  // namespace

#pragma once
// Debugger output: one line per call, on standard error unless the program sends it elsewhere.
#include <memory>
#include <string_view>

// Writes `text` as one line to the program's debug output (a trailing line feed in `text` is not
// doubled on standard error).
void OutputDebugStringA(std::string_view text);

namespace platform {

// Where debugger output goes. The window program keeps standard error; a program that owns its
// terminal (or a test that reads what was reported) gives its own.
class DebugOutput {
public:
    virtual ~DebugOutput() = default;
    // Receives each call's text as given.
    virtual void Write(std::string_view text) = 0;
};

// Standard error, each line with a single write() so that lines of concurrent threads do not mix.
std::shared_ptr<DebugOutput> StandardErrorOutput();

// The debug output of every thread from now on; null gives standard error back.
void SetDebugOutput(std::shared_ptr<DebugOutput> output);

}  // namespace platform

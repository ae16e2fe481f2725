#pragma once
// Debugger output: one line per call on standard error.
#include <functional>
#include <string_view>

// Writes `text` as one line to standard error (a trailing line feed in `text` is not doubled).
void OutputDebugStringA(std::string_view text);

namespace platform {

// Sends debugger output to `sink` instead of standard error; an empty function restores it.
// The sink receives each call's text as given.
void SetDebugOutputSinkForTesting(std::function<void(std::string_view)> sink);

}  // namespace platform

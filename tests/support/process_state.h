#pragma once
// What a test can see of another process.
#include <sys/types.h>

#include <string>
#include <vector>

// Whether `pid` is still running: a zombie has ended, only its parent has not looked yet.
bool IsProcessRunning(pid_t pid);

// The pids written, separated by blanks, into `file`; waits until the file is there (a writer
// moves it into place once complete). Empty when it did not come.
std::vector<pid_t> WaitForPidsIn(const std::string& file);

#pragma once
// The one way the shell starts other programs (the desktop's opener and its file-type query), so
// tests can stand in for a desktop that answers, lacks a program or fails to start one.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class IProcessRunner {
public:
    // A program's standard output once it has ended; nullopt when it could not start, ran too
    // long, crashed or exited with a non-zero code.
    using Answer = std::function<void(std::optional<std::string> output)>;

    virtual ~IProcessRunner() = default;
    // Runs `program` without waiting for it: `answer` is called once, later, on the calling
    // thread's event loop. The program is killed after `timeoutMs`. A runner destroyed first
    // kills what still runs and calls nothing.
    virtual void Query(const std::string& program, const std::vector<std::string>& arguments,
                       int timeoutMs, Answer answer) = 0;
    // Called when a started program has ended with a non-zero code or by a signal.
    using Failure = std::function<void()>;

    // Starts `program` to run on by itself and never waits for it; it is not ended with the
    // runner. False when it could not start. Should it end in failure later, `failed` is called
    // once, on the calling thread's event loop; never after the runner has gone.
    virtual bool StartDetached(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& workingDirectory, Failure failed) = 0;
};

#include "cli/subcommand.h"

#include <cstdio>
#include <memory>
#include <string>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "platform/win/debug_output.h"

namespace cli {

namespace {

// The drivers' debugger lines stay out of a terminal that shows the command's own; the
// diagnostic log keeps what it always keeps.
class CSilentDebugOutput final : public platform::DebugOutput {
public:
    void Write(std::string_view /*text*/) override {}
};

}  // namespace

bool IsSubcommand(std::span<const char* const> arguments) {
    return !arguments.empty() && arguments[0] != nullptr && CommandNamed(arguments[0]).has_value();
}

std::variant<CommandRequest, int> PrepareSubcommand(std::span<const char* const> arguments) {
    auto read = ReadCommandRequest(arguments);
    if (const auto* error = std::get_if<RequestError>(&read))
        return Fail(kExitBadArguments, error->text);
    CommandRequest& request = std::get<CommandRequest>(read);
    if (!request.help) platform::SetDebugOutput(std::make_shared<CSilentDebugOutput>());
    if (request.help) {
        const std::string usage = CommandUsage(request.command);
        const bool written = std::fputs(usage.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
        return written ? kExitOk : kExitFailed;
    }
    return std::move(request);
}

int RunSubcommand(const CommandRequest& request) {
    switch (request.command) {
        case Command::List:
            return RunList();
        case Command::Tune:
            return RunTune(request);
        case Command::Status:
            return RunStatus(request);
        case Command::Record:
            return RunRecord(request);
        case Command::Serve:
            return RunServe(request);
        case Command::Scan:
            return RunScan(request);
        case Command::Motor:
            return RunMotor(request);
    }
    return kExitBadArguments;
}

}  // namespace cli

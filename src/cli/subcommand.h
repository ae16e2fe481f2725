#pragma once
// The program from a terminal: "vlk-tscap list|tune|status|record|serve|scan|motor ...". The entry
// point asks whether its arguments name a subcommand, lets this read them (answering --help and
// refusing what cannot be read, before any device is looked at), then publishes the tuners and
// runs the request. No window, and no Qt platform plugin, is involved.
#include <span>
#include <variant>

#include "cli/command_request.h"

namespace cli {

// The first argument after the program's name names a subcommand.
bool IsSubcommand(std::span<const char* const> arguments);

// The request to run, or the exit status when there is nothing to run (its usage printed, or
// the arguments refused with one line on standard error). From a request to run on, the
// drivers' debugger lines (the devices they find, what they were told) stay off the terminal,
// which shows the command's own; the diagnostic log keeps them.
std::variant<CommandRequest, int> PrepareSubcommand(std::span<const char* const> arguments);

// Runs the request on the tuners published by now; returns the exit status.
int RunSubcommand(const CommandRequest& request);

}  // namespace cli

#pragma once
// The subcommands; each returns the exit status, having told the user what went wrong.
#include "cli/command_request.h"

namespace cli {

int RunList();
int RunTune(const CommandRequest& request);
int RunStatus(const CommandRequest& request);
int RunRecord(const CommandRequest& request);
int RunServe(const CommandRequest& request);
int RunScan(const CommandRequest& request);
int RunMotor(const CommandRequest& request);

}  // namespace cli

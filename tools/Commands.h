#pragma once

#include "common/UserPrompts.h"

#include <string>
#include <vector>

namespace linlangok {

// What every command gets: its arguments (after the command name) and the prompts that print
// the engines' messages to standard error. A command returns the process exit code: 0 on
// success, 1 when a file could not be loaded or written, 2 on a usage error.
struct ToolContext {
    std::vector<std::string> arguments;
    IUserPrompts& prompts;
};

using ToolCommand = int (*)(ToolContext& context);

struct ToolCommandEntry {
    const char* name;
    const char* usage;
    ToolCommand run;
};

// Prints "usage: linlangok-tool <usage>" to standard error and returns 2.
int UsageError(const char* usage);

int RunEncodeCommand(ToolContext& context);
int RunPlayCommand(ToolContext& context);
int RunRecordCommand(ToolContext& context);

} // namespace linlangok

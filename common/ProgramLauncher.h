#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// A program to start and its arguments.
struct ProgramCommand {
    std::string program; // a name looked up on the search path
    std::vector<std::string> arguments;

    bool operator==(const ProgramCommand&) const = default;
};

// Other programs of the desktop, found on the search path and started detached from this one.
// The windows implement it with Qt; tests script it. UI thread.
class IProgramLauncher {
public:
    virtual ~IProgramLauncher() = default;
    // Whether a program of that name can be found.
    virtual bool HasProgram(std::string_view name) const = 0;
    // Starts the program and returns at once; false when it could not be started.
    virtual bool Start(const ProgramCommand& command) = 0;
};

} // namespace linlangok

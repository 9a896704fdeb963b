#pragma once

#include "common/ProgramLauncher.h"

#include <set>
#include <string>
#include <vector>

namespace linlangok::test {

// IProgramLauncher for tests: the programs the test says exist, and the commands started.
class CScriptedProgramLauncher final : public IProgramLauncher {
public:
    bool HasProgram(std::string_view name) const override { return m_programs.contains(std::string(name)); }
    bool Start(const ProgramCommand& command) override
    {
        m_started.push_back(command);
        return m_startSucceeds;
    }

    std::set<std::string> m_programs;
    bool m_startSucceeds = true;
    std::vector<ProgramCommand> m_started;
};

} // namespace linlangok::test

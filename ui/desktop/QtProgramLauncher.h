#pragma once

#include "common/ProgramLauncher.h"

namespace linlangok {

// Programs found on PATH and started detached with QProcess.
class CQtProgramLauncher final : public IProgramLauncher {
public:
    bool HasProgram(std::string_view name) const override;
    bool Start(const ProgramCommand& command) override;
};

} // namespace linlangok

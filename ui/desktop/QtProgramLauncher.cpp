#include "ui/desktop/QtProgramLauncher.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace linlangok {

bool CQtProgramLauncher::HasProgram(std::string_view name) const
{
    return !QStandardPaths::findExecutable(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))
                .isEmpty();
}

bool CQtProgramLauncher::Start(const ProgramCommand& command)
{
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments.append(QString::fromStdString(argument));
    return QProcess::startDetached(QString::fromStdString(command.program), arguments);
}

} // namespace linlangok

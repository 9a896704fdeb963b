#pragma once

#include <QString>

namespace linlangok {

// The organisation every window keeps its settings under (QSettings), each under an application
// name of its own.
inline const QString kSettingsOrganisation = QStringLiteral("Lyrabooth");

} // namespace linlangok

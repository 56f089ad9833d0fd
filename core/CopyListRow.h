#pragma once

#include <QString>

// A copy-list row is the source path, these words, and the destination path.
inline const QString kWillBeCopiedTo = QStringLiteral(" will be copied to ");

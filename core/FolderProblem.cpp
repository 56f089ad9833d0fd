#include "core/FolderProblem.h"

QString NoFilesMessage(const QString& folder) { return QStringLiteral("There are no files in folder ") + folder; }

#pragma once

#include <QString>

// Per-user text values that tune the program's start state. The program only
// reads them; they are addressed by application key, section and value name.
namespace SettingsStore {

inline const QString kApplicationKey = QStringLiteral("Marrowind");
inline const QString kSection = QStringLiteral("Quorvex");

// An absent value reads as defaultValue; a present one as stored, even empty.
// Throws Failure when the store cannot be read.
QString GetSetting(const QString& applicationKey, const QString& section, const QString& valueName,
                   const QString& defaultValue);

// A value of this program's own section.
QString Read(const QString& valueName, const QString& defaultValue);

// The file or registry key that holds one section, for messages and tests.
QString Location(const QString& applicationKey, const QString& section);

} // namespace SettingsStore

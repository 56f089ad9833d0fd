#pragma once

#include <QTemporaryDir>

// Keeps the tests away from the real user's settings: every run reads its
// settings from a fresh private folder.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    QString Folder() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
};

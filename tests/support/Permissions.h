#pragma once

#include <QString>

// Inside its scope, permissions bind the test as they bind an ordinary user:
// when the tests run as root (as CI does), the capabilities that let root
// read and search any folder are dropped from the effective set, and given
// back at the end.
class PermissionsApply {
public:
    PermissionsApply();
    ~PermissionsApply();
    PermissionsApply(const PermissionsApply&) = delete;
    PermissionsApply& operator=(const PermissionsApply&) = delete;

private:
    bool dropped_ = false;
    unsigned savedEffective_[2] = {0, 0};
};

// Sets a folder's permission bits (as chmod does).
void SetMode(const QString& path, unsigned mode);

// True when the folder can be listed by this process now.
bool CanList(const QString& folder);

#pragma once

#include <QString>

#include <system_error>

// A problem with one folder of the lists, as the core finds it: which list,
// which folder, what kind, and the system's error. Each face words it: the
// window in its message boxes, the command line in one line.
struct FolderProblem {
    enum class Role { Source, Destination };
    enum class Kind {
        Empty,         // no file to draw in it
        Missing,       // no such folder
        NotAFolder,    // a file stands at its path
        Unreadable,    // its listing is refused (error tells why)
        IsDestination, // a source that is a destination: left out
        InDestination, // a source below a destination: left out
    };

    Role role = Role::Source;
    QString folder; // with its closing separator
    Kind kind = Kind::Empty;
    std::error_code error;
};

// What the window says of a source folder without files, whatever the
// reason: it is missing, cannot be read, or holds none.
QString NoFilesMessage(const QString& folder);

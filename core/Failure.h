#pragma once

#include <QString>

#include <exception>

// An unexpected failure of an operation, carried up to the nearest procedure
// that reports errors. The description is what the user reads in the report.
class Failure : public std::exception {
public:
    explicit Failure(QString description);

    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString description_;
    QByteArray utf8_;
};

// The description of the exception that is being handled, in words a user
// can read: our own failures, file-system errors with the system's wording,
// and anything else the standard library throws.
QString DescribeCurrentException();

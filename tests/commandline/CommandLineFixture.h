#pragma once

#include "core/CopyListRow.h"
#include "core/PathHelpers.h"
#include "support/TempTree.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The real program, started as a script would start it.
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { process.setProcessEnvironment(Environment()); }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), tree.Path(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), tree.Path(QStringLiteral("state")));
        // As over ssh or from cron: no display of any kind, not even the
        // offscreen one that the window tests ask for.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        return environment;
    }

    Outcome Run(const QStringList& arguments)
    {
        process.start(QStringLiteral(QUORVEX_PROGRAM), arguments);
        EXPECT_TRUE(process.waitForFinished(60'000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                LinesOf(process.readAllStandardOutput()), LinesOf(process.readAllStandardError())};
    }

    // Text as read, with Windows' line ends ("\r\n") as "\n".
    static QString LinesOf(const QByteArray& bytes)
    {
        QString text = QString::fromUtf8(bytes);
#ifdef _WIN32
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
        return text;
    }

    // Six files in two folders, of 1 to 6 bytes.
    QString Library()
    {
        for (int i = 1; i <= 6; ++i)
            tree.WriteFile(QStringLiteral("lib/%1/f%2.txt").arg(i % 2).arg(i), QByteArray(i, 'x'));
        return tree.Path(QStringLiteral("lib"));
    }

    std::set<std::string> Names(const QString& folder)
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(folder)))
#ifdef _WIN32
            names.insert(FromFsName(entry.path().filename().native()).toStdString());
#else
            names.insert(entry.path().filename().native()); // the bytes, UTF-8 or not
#endif
        return names;
    }

    // The names of the files a dry run's rows copy.
    static std::set<std::string> SourceNames(const QString& plan)
    {
        std::set<std::string> names;
        for (const QString& row : plan.split(u'\n', Qt::SkipEmptyParts))
            names.insert(FileNameOf(row.section(kWillBeCopiedTo, 0, 0)).toStdString());
        return names;
    }

    TempTree tree;
    QProcess process;
};


#pragma once

#include "core/CopyListRow.h"
#include "core/PathHelpers.h"
#include "support/TempTree.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

    Outcome Run(const QStringList& arguments, const QString& program = QStringLiteral(QUORVEX_PROGRAM))
    {
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60'000)) << process.errorString().toStdString();
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

    // The files below a folder, as paths with "/" below it, and each folder
    // that holds nothing, with a closing "/".
    static std::set<std::string> Below(const QString& folder)
    {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(ToFsPath(folder))) {
            const std::string below =
                QDir::fromNativeSeparators(FromFsName(entry.path().lexically_relative(ToFsPath(folder)).native())).toStdString();
            if (!entry.is_directory())
                found.insert(below);
            else if (std::filesystem::is_empty(entry.path()))
                found.insert(below + '/');
        }
        return found;
    }

    static QByteArray Content(const QString& path)
    {
        std::ifstream in(ToFsPath(path), std::ios::binary);
        return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
    }

    // A saved plan's rows, each (source, destination), in order.
    static std::vector<std::pair<QString, QString>> PlanRows(const QString& plan)
    {
        std::vector<std::pair<QString, QString>> rows;
        for (const QString& line : QString::fromUtf8(Content(plan)).split(u'\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith(u'#'))
                rows.emplace_back(line.section(kWillBeCopiedTo, 0, 0), line.section(kWillBeCopiedTo, 1));
        }
        return rows;
    }

    // Every row of a plan into one folder arrived whole, and they are all
    // that lies below it beside others (the user's files, the record, the
    // playlist). A playlist names them in the plan's order, below itself.
    static void ExpectArrivedAsPlanned(const std::vector<std::pair<QString, QString>>& rows, const QString& folder,
                                       std::set<std::string> others, const QString& playlist = {})
    {
        QStringList planned;
        for (const auto& [source, destination] : rows) {
            EXPECT_EQ(Content(destination), Content(source)) << destination.toStdString();
            planned.append(QDir::fromNativeSeparators(destination.mid(WithClosingSeparator(folder).size())));
            others.insert(planned.back().toStdString());
        }
        EXPECT_EQ(Below(folder), others);
        if (!playlist.isEmpty()) {
            // A line that would read as a comment, or lose its leading blank, starts with ./
            QByteArray lines;
            for (const QString& copy : planned)
                lines += (copy.startsWith(u'#') || copy.startsWith(u' ') ? "./" : "") + copy.toUtf8() + "\r\n";
            const QByteArray text = Content(WithClosingSeparator(folder) + playlist);
            EXPECT_EQ(text, "#EXTM3U\r\n# written by quorvex; its next run replaces it\r\n" + lines);
        }
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


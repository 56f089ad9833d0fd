#pragma once

#include "core/Dialogs.h"
#include "core/FolderProblem.h"
#include "support/QtPrinters.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

// Dialogs for tests: records everything shown and answers from queues. It
// never blocks; a question without a queued answer fails the test.
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        QString kind; // "message", "input", "folder", "files", "open"
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString BrowseForFolder(const QString& title, const QString& startFolder) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    void OpenInFileBrowser(const QString& folder) override;
    // Answered by the next of dialogAnswers, which may set the dialog's
    // controls as the user would and tells whether OK was pressed.
    bool RunDialog(QDialog& dialog) override;
    // Kept, then shown as the window shows it.
    void ReportProblem(const FolderProblem& problem) override;

    std::vector<Shown> shown;
    std::vector<FolderProblem> problems;
    // Called with each message as it is shown.
    std::function<void(const QString&)> onMessage;
    std::deque<bool> yesNoAnswers;
    std::deque<QString> inputAnswers;
    std::deque<QString> folderAnswers;
    std::deque<QStringList> fileAnswers;
    std::deque<std::function<bool(QDialog&)>> dialogAnswers;

    // The texts of the message boxes shown so far, in order.
    QStringList Messages() const;
};

#include "ScriptedDialogs.h"

#include <QDialog>

#include <gtest/gtest.h>

namespace {

template <class Answer>
Answer Take(std::deque<Answer>& answers, const char* what)
{
    if (answers.empty()) {
        ADD_FAILURE() << "no scripted answer for " << what;
        return Answer{};
    }
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

bool ScriptedDialogs::MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    shown.push_back({QStringLiteral("message"), text, title, icon, buttons});
    if (onMessage)
        onMessage(text);
    if (buttons == Buttons::Ok)
        return true;
    return Take(yesNoAnswers, "a Yes/No question");
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& title, const QString&)
{
    shown.push_back({QStringLiteral("input"), prompt, title});
    return Take(inputAnswers, "an input box");
}

QString ScriptedDialogs::BrowseForFolder(const QString& title, const QString& startFolder)
{
    shown.push_back({QStringLiteral("folder"), startFolder, title});
    return Take(folderAnswers, "a folder picker");
}

QStringList ScriptedDialogs::OpenFiles(const QString& title, const QString& filter)
{
    shown.push_back({QStringLiteral("files"), filter, title});
    return Take(fileAnswers, "a file chooser");
}

void ScriptedDialogs::OpenInFileBrowser(const QString& folder)
{
    shown.push_back({QStringLiteral("open"), folder, QString()});
}

bool ScriptedDialogs::RunDialog(QDialog& dialog)
{
    shown.push_back({QStringLiteral("dialog"), QString(), dialog.windowTitle()});
    const std::function<bool(QDialog&)> answer = Take(dialogAnswers, "a dialog");
    return answer && answer(dialog);
}

QStringList ScriptedDialogs::Messages() const
{
    QStringList texts;
    for (const Shown& entry : shown) {
        if (entry.kind == QLatin1String("message"))
            texts.append(entry.text);
    }
    return texts;
}

void ScriptedDialogs::ReportProblem(const FolderProblem& problem)
{
    problems.push_back(problem);
    Dialogs::ReportProblem(problem);
}

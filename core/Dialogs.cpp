#include "core/Dialogs.h"

#include "core/ApplicationTitle.h"
#include "core/FolderProblem.h"

void Dialogs::MsgBox(const QString& text)
{
    MessageBox(text, ApplicationTitle(), Icon::None, Buttons::Ok);
}

bool Dialogs::AskYesNo(const QString& text)
{
    return MessageBox(text, ApplicationTitle(), Icon::None, Buttons::YesNo);
}

bool Dialogs::RunDialog(QDialog&) { return false; }

void Dialogs::ErrorReportBox(const QString&, const QString& reportText)
{
    MessageBox(reportText, QStringLiteral("Application Error"), Icon::Warning, Buttons::Ok);
}

void Dialogs::ReportProblem(const FolderProblem& problem)
{
    using Kind = FolderProblem::Kind;
    if (problem.role == FolderProblem::Role::Source && problem.kind != Kind::IsDestination
        && problem.kind != Kind::InDestination)
        MsgBox(NoFilesMessage(problem.folder));
}

#include "core/Dialogs.h"

#include "core/ApplicationTitle.h"
#include "core/ErrorReport.h"
#include "core/FolderProblem.h"
#include "core/ListFile.h"

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
    if (problem.role == FolderProblem::Role::Destination) {
        const QString state = problem.kind == Kind::Missing      ? QStringLiteral("is not there")
            : problem.kind == Kind::NotAFolder                    ? QStringLiteral("is a file, not a folder")
                                                                  : QStringLiteral("cannot be read (%1)").arg(
                                                                      QString::fromStdString(problem.error.message()));
        MsgBox(QStringLiteral("The destination folder %1 %2, so nothing is copied into it.").arg(problem.folder, state));
        return;
    }
    if (problem.role == FolderProblem::Role::Source && problem.kind != Kind::IsDestination
        && problem.kind != Kind::InDestination)
        MsgBox(NoFilesMessage(problem.folder));
}

void Dialogs::ReportListFileProblem(const ListFileProblem& problem)
{
    MessageBox(ListFileProblemText(problem), ApplicationTitle(), IsWarning(problem) ? Icon::Warning : Icon::None,
               Buttons::Ok);
}

void Dialogs::ReportDrawProblem(const DrawProblem& problem)
{
    MsgBox(problem.kind == DrawProblem::Kind::NumberBelowOne ? kNumberBelowOneMessage
                                                             : TooManyRowsMessage(problem.maxRows));
}

void Dialogs::ReportStepFailure(const StepFailure& failure)
{
    ErrorReportBox(failure.description,
                   ErrorReport::MessageText(failure.description, failure.procedureLabel, failure.step));
}

#pragma once

#include "core/ProblemSink.h"

#include <QString>
#include <QStringList>

class QDialog;

// Everything modal the program shows goes through this interface, so that the
// window can be driven in tests by a scripted implementation that never blocks.
// The problems the procedures below the window meet it shows in its message
// boxes.
class Dialogs : public ProblemSink {
public:
    enum class Icon { None, Warning };
    enum class Buttons { Ok, YesNo };

    virtual ~Dialogs() = default;

    // A modal message box. Returns true when the user answered Yes (always
    // true for an OK-only box).
    virtual bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) = 0;

    // A one-line text prompt; "" when the user cancels.
    virtual QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;

    // A modal folder chooser opening at startFolder when it exists; "" on cancel.
    virtual QString BrowseForFolder(const QString& title, const QString& startFolder) = 0;

    // A modal multi-select file-open chooser; an empty list on cancel.
    virtual QStringList OpenFiles(const QString& title, const QString& filter) = 0;

    // Shows the folder in the desktop's file browser.
    virtual void OpenInFileBrowser(const QString& folder) = 0;

    // Shows one of the window's own dialogs, modal; true when the user
    // accepted it (OK). A face without a window cancels.
    virtual bool RunDialog(QDialog& dialog);

    // The report of a step that failed: the full text (procedure, line,
    // where to write) as a warning under its own title. A face without a
    // window may say the description alone.
    virtual void ErrorReportBox(const QString& description, const QString& reportText);

    // A problem with a folder of the lists. The window says of a source
    // folder that it holds no files, and of a destination that it is not
    // there, in a plain message.
    void ReportProblem(const FolderProblem& problem) override;
    // A plain message, or a warning where part of the list was refused.
    void ReportListFileProblem(const ListFileProblem& problem) override;
    // A plain message.
    void ReportDrawProblem(const DrawProblem& problem) override;
    // The error report's box.
    void ReportStepFailure(const StepFailure& failure) override;

    // A plain message: OK only, no icon, the application's short title.
    void MsgBox(const QString& text);

    // A Yes/No question without icon under the application's short title.
    bool AskYesNo(const QString& text);
};

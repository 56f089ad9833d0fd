// The commands that help a new user: a ready-made example and where to ask.

#include "window/Form1.h"

#include "core/Contact.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"

#include <QLineEdit>

namespace {

const QString kOpenSamplesQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view "
    "them before working with them)?");

} // namespace

QString Form1::SamplesFolder() const
{
    return appFolder_ + NativeSeparator() + QStringLiteral("Samples") + NativeSeparator();
}

void Form1::PushButton16_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(16));
    report.Step(100, [&] { SourceList->Append(SamplesFolder()); });
    report.Step(102, [&] { DestinationList->Append(DesktopFolder()); });
    report.Step(104, [&] { Text1->setText(QStringLiteral("15")); });
    RebuildWithBusyPointer(report, 106);
    bool open = false;
    report.Step(112, [&] { open = dialogs_.AskYesNo(kOpenSamplesQuestion); });
    if (report.Test(114, [&] { return open; }))
        report.Step(116, [&] { dialogs_.OpenInFileBrowser(SamplesFolder()); });
}

void Form1::ShowHelp(int buttonNumber)
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(buttonNumber));
    report.Step(100, [&] {
        dialogs_.MsgBox(QStringLiteral("Questions? Please contact Team Marrowind at ") + QLatin1String(kContactPage));
    });
}

void Form1::PushButton14_Click() { ShowHelp(14); }

void Form1::PushButton15_Click() { ShowHelp(15); }

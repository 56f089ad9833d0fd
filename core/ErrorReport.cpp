#include "core/ErrorReport.h"

#include "core/Contact.h"

ErrorReport::ErrorReport(Dialogs& dialogs, QString procedureLabel)
    : dialogs_(dialogs), label_(std::move(procedureLabel))
{
}

QString ErrorReport::MessageText(const QString& description, const QString& procedureLabel, int step)
{
    return description + QStringLiteral("\r\n") + procedureLabel + QStringLiteral("at line ")
        + QString::number(step) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + QLatin1String(kSupportAddress);
}

void ErrorReport::Report(const QString& description)
{
    dialogs_.ErrorReportBox(description, MessageText(description, label_, lastStep_));
}

#include "core/ErrorReport.h"

#include "core/Contact.h"

ErrorReport::ErrorReport(ProblemSink& problems, QString procedureLabel)
    : problems_(problems), label_(std::move(procedureLabel))
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
    problems_.ReportStepFailure({description, label_, lastStep_});
}

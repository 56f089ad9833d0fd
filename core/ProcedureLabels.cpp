#include "core/ProcedureLabels.h"

namespace {

const QString kBuildTag = QStringLiteral("Zentrabel2021/08/31");
const QString kScanBuildTag = QStringLiteral("Pellomar2021/08/31");

QString Label(const QString& buildTag, const QString& module, const QString& procedure)
{
    return QStringLiteral("in ") + buildTag + u'.' + module + u'.' + procedure + u' ';
}

} // namespace

namespace ProcedureLabels {

QString FormLoad() { return Label(kBuildTag, QStringLiteral("Form1"), QStringLiteral("Form_Load")); }

QString Check11Click() { return Label(kBuildTag, QStringLiteral("Form1"), QStringLiteral("Check11_Click")); }

QString PushButtonClick(int buttonNumber)
{
    return Label(kBuildTag, QStringLiteral("Form1"),
                 QStringLiteral("PushButton%1_Click").arg(buttonNumber));
}

QString ListView1OleDragDrop()
{
    return Label(kBuildTag, QStringLiteral("Form1"), QStringLiteral("ListView1_OLEDragDrop"));
}

QString RemoveItemsWith() { return Label(kBuildTag, QStringLiteral("Main"), QStringLiteral("RemoveItemsWith")); }

QString RemoveItemsWithout()
{
    return Label(kBuildTag, QStringLiteral("Main"), QStringLiteral("RemoveItemsWithout"));
}

QString GetSubDirectories2016()
{
    return Label(kScanBuildTag, QStringLiteral("AddFolder"), QStringLiteral("GetSubDirectories2016"));
}

QString RandomFileList() { return Label(kBuildTag, QStringLiteral("Copy"), QStringLiteral("randomFileList")); }

QString CorrelateListviews()
{
    return Label(kBuildTag, QStringLiteral("Copy"), QStringLiteral("CorrelateListviews"));
}

QString CorrelateListviewsWrapper()
{
    return Label(kBuildTag, QStringLiteral("Copy"), QStringLiteral("CorrelateListviewsWrapper"));
}

QString CommandLineRun() { return Label(kBuildTag, QStringLiteral("CommandLine"), QStringLiteral("Run")); }

} // namespace ProcedureLabels

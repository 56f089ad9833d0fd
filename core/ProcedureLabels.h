#pragma once

#include <QString>

// The names under which each reporting procedure appears in an error report.
// Every label is defined here and nowhere else.
namespace ProcedureLabels {

QString FormLoad();
QString Check11Click();
QString PushButtonClick(int buttonNumber);
QString ListView1OleDragDrop();
QString RemoveItemsWith();
QString RemoveItemsWithout();
QString GetSubDirectories2016();
QString RandomFileList();
QString CorrelateListviews();
QString CorrelateListviewsWrapper();
QString CommandLineRun();

} // namespace ProcedureLabels

#include "core/ProblemSink.h"

const QString kNumberBelowOneMessage = QStringLiteral("The number of files to copy must be at least 1.");

QString TooManyRowsMessage(std::uint64_t maxRows)
{
    return QStringLiteral("The copy list would hold more than %1 rows. Please choose fewer files or fewer "
                          "destination folders.")
        .arg(maxRows);
}

#include "EventYield.h"

#include <QCoreApplication>

namespace {
int yieldDepth = 0;
}

void LetWindowEventsRun()
{
    ++yieldDepth;
    QCoreApplication::processEvents();
    --yieldDepth;
}

bool IsInsideCommandYield() { return yieldDepth > 0; }

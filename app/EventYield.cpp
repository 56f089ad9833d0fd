#include "EventYield.h"

#include <QCoreApplication>

void LetWindowEventsRun() { QCoreApplication::processEvents(); }

#include "Form1.h"
#include "PathHelpers.h"
#include "PointerImage.h"
#include "QtDialogs.h"
#include "RandomSource.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    application.setWindowIcon(ApplicationIcon());

    QtDialogs dialogs;
    ProcessRandom random;
    Form1 window(dialogs, random, AppFolder());
    dialogs.SetOwner(&window);
    window.show();
    return application.exec();
}

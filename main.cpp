#include "commandline/CommandLine.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "platform/FileSystem.h"
#include "window/Form1.h"
#include "window/Form1Frame.h"
#include "window/PointerImage.h"
#include "window/QtDialogs.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // A copy that meets the file size limit fails its row; the others go on.
    platform::FailWritesPastTheFileSizeLimit();

    // With an option of its own the program runs without a window, and
    // needs no display: over ssh, in cron, in scripts.
    const QStringList arguments = ProgramArguments(argc, argv);
    if (IsCommandLineRun(arguments)) {
        QCoreApplication application(argc, argv);
        return RunCommandLine(arguments);
    }

    QApplication application(argc, argv);
    // Its own files (refill.ini) go to one folder whatever the program is named.
    QCoreApplication::setApplicationName(QStringLiteral("Quorvex"));
    application.setWindowIcon(ApplicationIcon());
    // Docks and task bars match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEX_APP_ID));

    QtDialogs dialogs;
    ProcessRandom random;
    Form1Frame window(new Form1(dialogs, random, AppFolder()));
    dialogs.SetOwner(&window);
    window.show();
    return application.exec();
}

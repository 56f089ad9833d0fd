#include "window/Form1Frame.h"

#include "window/Form1.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QTreeView>

Form1Frame::Form1Frame(Form1* form) : form_(form)
{
    setWindowFlags(form->windowFlags());
    setCentralWidget(form);
    form->show();
    setWindowTitle(form->windowTitle());
    setWindowIcon(form->windowIcon());

    RefillMenu = menuBar()->addMenu(QStringLiteral("&Refill"));
    RefillMenu->setObjectName(QStringLiteral("mnuRefill"));
    RefillSettingsItem = RefillMenu->addAction(QStringLiteral("Refill &Settings..."), form, &Form1::mnuRefillSettings_Click);
    RefillSettingsItem->setObjectName(QStringLiteral("mnuRefillSettings"));
    CopyCommandLineItem = RefillMenu->addAction(QStringLiteral("Copy &Command Line"), form, &Form1::mnuCopyCommandLine_Click);
    CopyCommandLineItem->setObjectName(QStringLiteral("mnuCopyCommandLine"));
    ScheduleItem = RefillMenu->addAction(QStringLiteral("Sc&hedule..."), form, &Form1::mnuSchedule_Click);
    ScheduleItem->setObjectName(QStringLiteral("mnuSchedule"));

    // The client area keeps its size; the menu bar sits above it.
    setFixedSize(form->width(), form->height() + menuBar()->sizeHint().height());
    layout()->activate();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    form->ListView2->setFocus();
}

void Form1Frame::closeEvent(QCloseEvent* event)
{
    if (form_->close())
        event->accept();
    else
        event->ignore();
}

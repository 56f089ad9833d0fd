#pragma once

#include <QMainWindow>

class Form1;
class QAction;
class QCloseEvent;
class QMenu;

// The window as the user sees it: Form1 as its client area, and above it,
// outside the client area as a Windows menu is, the menu bar. The frame
// carries the caption, the icon, the fixed size and the minimize-only
// buttons; it is the client area and the menu's height, no more.
class Form1Frame final : public QMainWindow {
    Q_OBJECT

public:
    // Takes form in as its client area.
    explicit Form1Frame(Form1* form);

    Form1& Form() const { return *form_; }

    QMenu* RefillMenu = nullptr;
    QAction* RefillSettingsItem = nullptr;
    QAction* CopyCommandLineItem = nullptr;
    QAction* ScheduleItem = nullptr;

protected:
    // Closing the frame closes the form, which ends a command that yields.
    void closeEvent(QCloseEvent* event) override;

private:
    Form1* form_;
};

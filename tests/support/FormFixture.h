#pragma once

#include "app/Form1.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include "support/ScriptedRandom.h"

#include <QPoint>

#include <memory>
#include <vector>

class QAbstractItemView;

// A main window on the offscreen platform, with scripted dialogs and its
// program folder in a temporary tree.
class FormFixture {
public:
    FormFixture();
    // Creates (or re-creates) the window; files placed in AppFolder() before
    // this call are seen by its start-up.
    Form1& Open();
    Form1& Window() { return *window_; }
    // Shows the window and waits until it has the keyboard focus.
    void ShowActive();

    QString AppFolder() const { return tree.Path(); }

    TempTree tree;
    ScriptedDialogs dialogs;
    ScriptedRandom random;

private:
    std::unique_ptr<Form1> window_;
};

// The centre of a row of a list, in the coordinates of its viewport.
QPoint RowCentre(const QAbstractItemView& view, int row);

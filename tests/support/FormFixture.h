#pragma once

#include "copyrun/DeviceFlush.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "window/Form1.h"
#include "window/Form1Frame.h"

#include "support/ScriptedRandom.h"

#include <QPoint>

#include <memory>
#include <vector>

class QAbstractItemView;

// Records what a copy run flushes instead of flushing it: the folders named,
// the files, and how many messages had been shown by then. error, when set,
// is what every flush gives.
class RecordingFlusher final : public DeviceFlusher {
public:
    explicit RecordingFlusher(const ScriptedDialogs& dialogs) : dialogs_(dialogs) {}
    std::error_code Flush(const FlushGroup& group) override
    {
        flushed.push_back(group);
        messagesBefore.push_back(dialogs_.shown.size());
        if (whileFlushing)
            whileFlushing();
        return error;
    }

    // Runs on the flushing thread.
    std::function<void()> whileFlushing;
    std::vector<FlushGroup> flushed;
    std::vector<std::size_t> messagesBefore;
    std::error_code error;

private:
    const ScriptedDialogs& dialogs_;
};

// A main window on the offscreen platform, with scripted dialogs, a flusher
// that records, and its program folder in a temporary tree.
class FormFixture {
public:
    FormFixture();
    // Creates (or re-creates) the window in its frame, as the program shows
    // it; files placed in AppFolder() before this call are seen by its
    // start-up.
    Form1& Open();
    Form1& Window() { return frame_->Form(); }
    Form1Frame& Frame() { return *frame_; }
    // Shows the window and waits until it has the keyboard focus.
    void ShowActive();

    QString AppFolder() const { return tree.Path(); }

    TempTree tree;
    ScriptedDialogs dialogs;
    ScriptedRandom random;
    RecordingFlusher flusher {dialogs};

private:
    std::unique_ptr<Form1Frame> frame_;
};

// The centre of a row of a list, in the coordinates of its viewport.
QPoint RowCentre(const QAbstractItemView& view, int row);

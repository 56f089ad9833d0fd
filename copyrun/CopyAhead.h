#pragma once

#include "copyrun/CopyOneFile.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Copies the rows of a run ahead of their turn on a few worker threads, each
// into a temporary beside its destination that takes the destination's name
// only at the row's turn. The rows thus arrive one by one in plan order, as
// without workers, and a row dropped before its turn never arrives. A
// worker's failure is told at its row's turn.
class CopyAhead {
public:
    struct Row {
        QString source;
        QString destination;
        bool prepared = false; // its source is made by the preparing step first
    };

    // The file a row's copy is made from, once prepared (a song converted
    // for the device), or why there is none.
    struct PreparedSource {
        QString path;
        QString failure;
    };
    // Makes the sources of the rows marked prepared, and has the last word
    // on each file made.
    class Preparation {
    public:
        virtual ~Preparation() = default;
        // Runs on a worker ahead of the row's turn, several at once, or at the turn.
        virtual PreparedSource Prepare(const QString& source, const QString& destination) = 0;
        // Told at a prepared row's turn of the file made for it; false
        // leaves the row out (a photo larger once made than the room left).
        virtual bool Admit(int position, const QString& made) = 0;
    };

    struct Limits {
        int workers = 0;              // 0: from the cores, 2 to 4
        int rowsAhead = 0;            // 0: eight a worker
        std::uint64_t bytesAhead = 0; // 0: 4 MiB a worker
        // Told on a worker as it begins to copy a row ahead (finished false)
        // and once the copy is made or has failed, before the row's turn can
        // take it; the worker tells nothing more of that row.
        std::function<void(int position, bool finished)> watch;
        // None: a prepared row is copied from its own source.
        Preparation* preparation = nullptr;
    };

    CopyAhead(const std::vector<Row>& rows, Limits limits);
    // Drops every copy not yet committed, without waiting for a worker: one
    // stuck on a slow device removes its copy whenever it gets free.
    ~CopyAhead();
    CopyAhead(const CopyAhead&) = delete;
    CopyAhead& operator=(const CopyAhead&) = delete;

    // The row's copy at its turn, with the checks and the outcome of
    // CopyOneFile. A row not copied ahead is copied here; while a worker
    // still copies it, onProgress is called here now and then.
    CopyOutcome CopyAtTurn(int position, const platform::CopyProgress& onProgress = {});

    // The row will not be copied: its copy ahead, made or in the making, goes.
    void Drop(int position);

    // The bound chosen for this machine; QUORVEX_COPY_WORKERS sets the
    // number of workers (1 to 8) instead.
    static Limits DefaultLimits();

    struct Shared;

private:
    // Short of room: the copies ahead give theirs back and no more are made,
    // so that the rest of the run fares as one copy at a time. False when
    // that was done before.
    bool GiveBackRoom(const platform::CopyProgress& onProgress);

    std::vector<Row> rows_;
    std::shared_ptr<Shared> shared_;
};

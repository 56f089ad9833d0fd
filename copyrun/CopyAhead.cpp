#include "copyrun/CopyAhead.h"

#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"

#include <QHash>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

namespace {

enum class Stage {
    Waiting,   // for a worker, or its turn
    Preparing, // a worker copies it
    Ready,     // copied ahead (or failed there), held for its turn
    AtTurn,    // not copied ahead: copied at its turn
    Done,      // committed, copied or dropped
};

struct Slot {
    std::filesystem::path from;
    std::filesystem::path to;
    QString written; // the destination, normalised
    std::mutex* device = nullptr; // the destination's device, where it takes one copy at a time
    bool toPrepare = false;   // its source is prepared first
    bool sourceMade = false;  // and it has been: from is that source, or prepareFailure says why not
    QString prepareFailure;
    Stage stage = Stage::Waiting;
    bool dropped = false;
    bool discard = false; // copy it again at its turn
    std::atomic<std::uint64_t> copied {0};
    std::uint64_t bytesHeld = 0;
    platform::PreparedCopy prepared;
    platform::CopyFailure failure;
};

// A file system (or the user's quota) out of room: perhaps only for as long
// as copies made ahead hold theirs.
bool ShortOfRoom(const platform::CopyFailure& failure)
{
    return failure.error == std::errc::no_space_on_device
#ifdef EDQUOT
        || failure.error.value() == EDQUOT
#endif
        ;
}

// Failures that a copy made at its turn may not meet: the room that copies
// ahead of it held, or a source written to while it was read early.
bool WorthCopyingAgain(const platform::CopyFailure& failure) { return failure.sourceChanged || ShortOfRoom(failure); }

} // namespace

// The rows' stages, under one mutex. Workers sleep only when the window
// ahead is full and are woken when half of it is free again, and the row's
// turn is woken only when it waits for that row: each wake-up costs more
// than the bookkeeping, above all in a virtual machine.
struct CopyAhead::Shared {
    std::mutex mutex;
    std::condition_variable workToDo;
    std::condition_variable rowHandedOver;
    std::vector<Slot> plan;
    int next = 0; // no row before it waits for a worker
    int turn = 0;
    int idleWorkers = 0;
    int awaited = -1; // the row its turn waits for
    std::uint64_t bytesHeld = 0;
    bool cancelled = false;
    bool stopped = false; // short of room: nothing more is copied ahead
    int rowsAhead = 0;
    std::uint64_t bytesAhead = 0;
    std::set<platform::FileId> destinationFolders;
    std::map<std::uint64_t, std::mutex> oneAtATime;
    std::function<void(int, bool)> watch;
    CopyAhead::Preparation* preparation = nullptr;

    // Source folders known to be no destination folder; a lock of their
    // own, so that looking does not hold up the turns.
    std::mutex foldersMutex;
    std::set<std::filesystem::path> plainSourceFolders;

    explicit Shared(std::size_t rows) : plan(rows) {}

    // Called with the mutex held.
    bool CanClaim()
    {
        next = std::max(next, turn);
        while (next < static_cast<int>(plan.size()) && plan[next].stage != Stage::Waiting)
            ++next;
        return !stopped && next < static_cast<int>(plan.size()) && next < turn + rowsAhead
            && (bytesHeld < bytesAhead || bytesHeld == 0);
    }

    // Called with the mutex held, when the turn moves or room is given back.
    void WakeWorkers()
    {
        if (idleWorkers > 0 && CanClaim() && (turn + rowsAhead - next) * 2 >= rowsAhead)
            workToDo.notify_all();
    }

    // Called with the mutex held; what it returns is dropped once unlocked.
    platform::PreparedCopy Release(Slot& slot)
    {
        bytesHeld -= slot.bytesHeld;
        slot.bytesHeld = 0;
        return std::move(slot.prepared);
    }

    // A source in a folder that earlier rows write to is read at its turn.
    // One that is, or becomes, an earlier row's destination by another path
    // is caught at its turn: its file is no longer the one copied ahead.
    bool MayCopyAhead(const Slot& slot)
    {
        const std::filesystem::path folder = slot.from.parent_path();
        {
            const std::lock_guard lock(foldersMutex);
            if (plainSourceFolders.contains(folder))
                return true;
        }
        const std::optional<platform::FileId> id = platform::IdOf(folder.empty() ? "." : folder);
        if (!id || destinationFolders.contains(*id))
            return false;
        const std::lock_guard lock(foldersMutex);
        plainSourceFolders.insert(folder);
        return true;
    }
};

namespace {

// Makes the row's source, before its copy: off the shared mutex, as it may
// take long (a conversion).
void PrepareSourceOf(CopyAhead::Shared& shared, Slot& slot)
{
    const CopyAhead::PreparedSource made =
        shared.preparation ? shared.preparation->Prepare(FromFsName(slot.from.native()), slot.written)
                           : CopyAhead::PreparedSource {FromFsName(slot.from.native()), {}};
    if (made.failure.isEmpty())
        slot.from = ToFsPath(made.path);
    else
        slot.prepareFailure = made.failure;
    slot.sourceMade = true;
}

// A worker's copy of one row, claimed with the mutex held; returns with it
// held again, the row handed over.
void Prepare(CopyAhead::Shared& shared, int position, std::unique_lock<std::mutex>& lock)
{
    Slot& slot = shared.plan[position];
    slot.stage = Stage::Preparing;
    lock.unlock();

    platform::PreparedCopy prepared;
    platform::CopyFailure failure;
    if (slot.toPrepare)
        PrepareSourceOf(shared, slot);
    const bool ahead = slot.prepareFailure.isEmpty() && shared.MayCopyAhead(slot);
    if (ahead) {
        if (shared.watch)
            shared.watch(position, false);
        if (slot.device != nullptr)
            platform::ReadAheadHint(slot.from);
        std::unique_lock<std::mutex> device;
        if (slot.device != nullptr)
            device = std::unique_lock(*slot.device);
        failure = platform::PrepareCopy(slot.from, slot.to, prepared,
                                        [&slot](std::uint64_t copied) { slot.copied = copied; });
        // Told before the row is handed over, after which the row is no
        // longer the worker's.
        if (shared.watch)
            shared.watch(position, true);
    }

    platform::PreparedCopy unwanted;
    lock.lock();
    if (!ahead) {
        slot.stage = slot.dropped || shared.cancelled ? Stage::Done : Stage::AtTurn;
    } else if (slot.dropped || shared.cancelled) {
        unwanted = std::move(prepared);
        slot.stage = Stage::Done;
    } else if (slot.discard) {
        unwanted = std::move(prepared);
        slot.stage = Stage::AtTurn;
    } else {
        slot.bytesHeld = slot.copied;
        shared.bytesHeld += slot.bytesHeld;
        slot.prepared = std::move(prepared);
        slot.failure = failure;
        slot.stage = Stage::Ready;
    }
    if (shared.awaited == position || shared.stopped)
        shared.rowHandedOver.notify_all();
    if (unwanted) {
        lock.unlock();
        unwanted = {};
        lock.lock();
    }
}

void Work(const std::shared_ptr<CopyAhead::Shared> shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        while (!shared->cancelled && !shared->CanClaim()) {
            ++shared->idleWorkers;
            shared->workToDo.wait(lock);
            --shared->idleWorkers;
        }
        if (shared->cancelled)
            return;
        Prepare(*shared, shared->next++, lock);
    }
}

// Where the window's events (and an interrupt) get their turn while a row's
// copy is still being made by a worker.
constexpr std::chrono::milliseconds kProgressInterval {50};

// A source not prepared ahead is prepared at its turn, on a thread of its
// own, so that the window's events and an interrupt still get their turn.
void PrepareAtTurn(CopyAhead::Shared& shared, Slot& slot, const platform::CopyProgress& onProgress)
{
    std::future<void> made = std::async(std::launch::async, [&shared, &slot] { PrepareSourceOf(shared, slot); });
    while (made.wait_for(kProgressInterval) != std::future_status::ready) {
        if (onProgress)
            onProgress(0);
    }
    made.get();
}

} // namespace

CopyAhead::Limits CopyAhead::DefaultLimits()
{
    // Past a few workers a run of small files gains nothing, and each holds
    // a copy's room until its turn.
    Limits limits;
    limits.workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 4);
    // Set for a comparison, or where the destination's own limits are known.
    bool isNumber = false;
    const int chosen = qEnvironmentVariableIntValue("QUORVEX_COPY_WORKERS", &isNumber);
    if (isNumber && chosen >= 1)
        limits.workers = std::min(chosen, 8);
    return limits;
}

CopyAhead::CopyAhead(const std::vector<Row>& rows, Limits limits) : rows_(rows), shared_(std::make_shared<Shared>(rows.size()))
{
    const Limits defaults = DefaultLimits();
    const int workers = limits.workers > 0 ? limits.workers : defaults.workers;
    // A window of several rows a worker lets the workers run in bursts and
    // sleep between them, rather than wake for every row; the bytes held
    // bound it for large files.
    shared_->rowsAhead = limits.rowsAhead > 0 ? limits.rowsAhead : 8 * workers;
    shared_->bytesAhead = limits.bytesAhead > 0 ? limits.bytesAhead : std::uint64_t {4} * 1024 * 1024 * workers;
    shared_->watch = std::move(limits.watch);
    shared_->preparation = limits.preparation;

    QHash<QString, std::mutex*> devices; // by destination folder
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Slot& slot = shared_->plan[i];
        const QString from = CollapseBackslashes(rows[i].source);
        const QString to = CollapseBackslashes(rows[i].destination);
        // The rows that end at their checks are left to their turn.
        if (from.trimmed().isEmpty() || to.trimmed().isEmpty() || from == to || HasWildcards(from)) {
            slot.stage = Stage::AtTurn;
            continue;
        }
        slot.from = ToFsPath(from);
        slot.to = ToFsPath(to);
        slot.written = to;
        slot.toPrepare = rows[i].prepared;
        const QString folder = FolderOf(to);
        if (!devices.contains(folder)) {
            const std::filesystem::path folderPath = ToFsPath(folder.isEmpty() ? QStringLiteral(".") : folder);
            const std::optional<platform::FileId> id = platform::IdOf(folderPath);
            std::mutex* device = nullptr;
            if (id) {
                shared_->destinationFolders.insert(*id);
                if (platform::WritesOneAtATime(folderPath))
                    device = &shared_->oneAtATime[id->device];
            }
            devices.insert(folder, device);
        }
        slot.device = devices.value(folder);
    }
    if (!platform::CanPrepareCopies() || rows.size() < 2)
        return;
    // Where no thread can be started, the rows are copied at their turns.
    try {
        for (int i = 0; i < workers; ++i)
            std::thread(Work, shared_).detach();
    } catch (const std::system_error&) {
    }
}

CopyAhead::~CopyAhead()
{
    std::vector<platform::PreparedCopy> unwanted;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->cancelled = true;
        for (Slot& slot : shared_->plan) {
            slot.dropped = true;
            if (slot.stage == Stage::Ready)
                unwanted.push_back(shared_->Release(slot));
        }
        shared_->workToDo.notify_all();
    }
}

void CopyAhead::Drop(int position)
{
    platform::PreparedCopy unwanted;
    const std::lock_guard lock(shared_->mutex);
    Slot& slot = shared_->plan[position];
    slot.dropped = true;
    if (slot.stage == Stage::Preparing)
        return; // its worker drops it
    if (slot.stage == Stage::Ready)
        unwanted = shared_->Release(slot);
    slot.stage = Stage::Done;
    shared_->WakeWorkers();
}

CopyOutcome CopyAhead::CopyAtTurn(int position, const platform::CopyProgress& onProgress)
{
    Shared& shared = *shared_;
    Slot& slot = shared.plan[position];
    std::unique_lock lock(shared.mutex);
    shared.turn = position;
    if (slot.stage == Stage::Waiting)
        slot.stage = Stage::AtTurn;
    while (slot.stage == Stage::Preparing) {
        shared.awaited = position;
        shared.rowHandedOver.wait_for(lock, kProgressInterval);
        const std::uint64_t copied = slot.copied;
        lock.unlock();
        if (onProgress)
            onProgress(copied);
        lock.lock();
    }
    shared.awaited = -1;
    platform::PreparedCopy prepared = shared.Release(slot);
    const platform::CopyFailure failure = slot.failure;
    const bool ready = slot.stage == Stage::Ready;
    slot.stage = Stage::Done;
    shared.turn = position + 1;
    shared.WakeWorkers();
    lock.unlock();

    QString source = rows_[position].source;
    if (slot.toPrepare) {
        if (!slot.sourceMade)
            PrepareAtTurn(shared, slot, onProgress);
        if (!slot.prepareFailure.isEmpty())
            return {CopyOutcome::Result::Failed, QStringLiteral("could not be converted: %1").arg(slot.prepareFailure),
                    {}, CopyOutcome::Failure::NotConverted, {}};
        source = FromFsName(slot.from.native());
        if (shared.preparation && !shared.preparation->Admit(position, source))
            return {CopyOutcome::Result::LeftOut, {}, {}, CopyOutcome::Failure::None, {}};
    }

    // The usual turn: the source is the file that was read, and the copy
    // takes a name no file has. A copy made in the folder showed that the
    // folder was there.
    if (ready && !failure) {
        const std::optional<platform::FileState> source = platform::RegularFileState(slot.from);
        if (source && *source == prepared.Source()) {
            if (const std::optional<platform::CopyFailure> committed = platform::CommitIfFree(prepared))
                return OutcomeOf(*committed, CopyTarget {slot.from, slot.to, slot.written, *source, false, false});
        }
    }
    // Otherwise the checks of a copy made now.
    const std::variant<CopyOutcome, CopyTarget> checked =
        CheckCopy(source, rows_[position].destination, !(ready && !failure));
    if (const CopyOutcome* ended = std::get_if<CopyOutcome>(&checked))
        return *ended;
    const CopyTarget& target = std::get<CopyTarget>(checked);
    if (ready && !failure && prepared.Source() == target.source)
        return OutcomeOf(platform::CommitCopy(prepared, target.replacing), target);
    if (ready && failure && !WorthCopyingAgain(failure))
        return OutcomeOf(failure, target);
    prepared = {};
    if (ready && ShortOfRoom(failure))
        GiveBackRoom(onProgress);
    std::unique_lock<std::mutex> device;
    if (slot.device != nullptr)
        device = std::unique_lock(*slot.device);
    platform::CopyFailure copied = platform::CopyFileReplacing(target.from, target.to, target.replacing, onProgress);
    // Copies of later rows, made meanwhile, may hold the room this one
    // lacks. Their workers may wait for the device meanwhile.
    if (ShortOfRoom(copied)) {
        if (device.owns_lock())
            device.unlock();
        if (GiveBackRoom(onProgress)) {
            if (device.mutex() != nullptr)
                device.lock();
            copied = platform::CopyFileReplacing(target.from, target.to, target.replacing, onProgress);
        }
    }
    return OutcomeOf(copied, target);
}

bool CopyAhead::GiveBackRoom(const platform::CopyProgress& onProgress)
{
    Shared& shared = *shared_;
    std::vector<platform::PreparedCopy> unwanted;
    std::unique_lock lock(shared.mutex);
    if (shared.stopped)
        return false;
    shared.stopped = true;
    for (Slot& later : shared.plan) {
        if (later.stage == Stage::Ready) {
            unwanted.push_back(shared.Release(later));
            later.stage = later.dropped ? Stage::Done : Stage::AtTurn;
        } else if (later.stage == Stage::Preparing) {
            later.discard = true;
        }
    }
    while (std::any_of(shared.plan.begin(), shared.plan.end(),
                       [](const Slot& other) { return other.stage == Stage::Preparing; })) {
        shared.rowHandedOver.wait_for(lock, kProgressInterval);
        lock.unlock();
        if (onProgress)
            onProgress(0);
        lock.lock();
    }
    return true;
}

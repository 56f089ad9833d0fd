#include "copyrun/CopyAhead.h"

#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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
    std::mutex* device = nullptr; // the destination's device, where it takes one copy at a time
    Stage stage = Stage::Waiting;
    bool dropped = false;
    bool discard = false; // copy it again at its turn
    std::atomic<std::uint64_t> copied {0};
    std::uint64_t bytesHeld = 0;
    std::optional<platform::FileId> sourceId;
    platform::PreparedCopy prepared;
    platform::CopyFailure failure;
};

// Failures that a copy made at its turn may not meet: the room that copies
// ahead of it held, or a source written to while it was read early.
bool WorthCopyingAgain(const platform::CopyFailure& failure)
{
    return failure.sourceChanged || failure.error == std::errc::no_space_on_device
#ifdef EDQUOT
        || failure.error.value() == EDQUOT
#endif
        ;
}

} // namespace

struct CopyAhead::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Slot> plan;
    int next = 0; // no row before it waits for a worker
    int turn = 0;
    std::uint64_t bytesHeld = 0;
    bool cancelled = false;
    bool stopped = false; // short of room: nothing more is copied ahead
    int rowsAhead = 0;
    std::uint64_t bytesAhead = 0;
    std::set<platform::FileId> destinationFolders;
    std::map<std::uint64_t, std::mutex> oneAtATime;
    std::function<void(int, bool)> watch;

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

    // Called with the mutex held; what it returns is dropped once unlocked.
    platform::PreparedCopy Release(Slot& slot)
    {
        bytesHeld -= slot.bytesHeld;
        slot.bytesHeld = 0;
        return std::move(slot.prepared);
    }

    // A row whose source is, or may become, an earlier row's destination
    // must be read at its turn; so must one that is its own destination.
    bool MayCopyAhead(const Slot& slot) const
    {
        if (!slot.sourceId || platform::IdOf(slot.to) == slot.sourceId)
            return false;
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(slot.from, error);
        const std::optional<platform::FileId> folder = error ? std::nullopt : platform::IdOf(real.parent_path());
        return folder && !destinationFolders.contains(*folder);
    }
};

namespace {

void Prepare(CopyAhead::Shared& shared, int position, std::unique_lock<std::mutex>& lock)
{
    Slot& slot = shared.plan[position];
    slot.stage = Stage::Preparing;
    lock.unlock();
    slot.sourceId = platform::RegularFileId(slot.from);
    const bool ahead = shared.MayCopyAhead(slot);
    const std::uint64_t size = ahead ? platform::FactsOf(slot.from).value_or(platform::FileFacts {}).size : 0;
    lock.lock();
    if (!ahead) {
        slot.stage = slot.dropped || shared.cancelled ? Stage::Done : Stage::AtTurn;
        shared.changed.notify_all();
        return;
    }
    slot.bytesHeld = size;
    shared.bytesHeld += size;
    lock.unlock();

    if (shared.watch)
        shared.watch(position, false);
    platform::PreparedCopy prepared;
    platform::CopyFailure failure;
    {
        if (slot.device != nullptr)
            platform::ReadAheadHint(slot.from);
        std::unique_lock<std::mutex> device;
        if (slot.device != nullptr)
            device = std::unique_lock(*slot.device);
        failure = platform::PrepareCopy(slot.from, slot.to, prepared,
                                        [&slot](std::uint64_t copied) { slot.copied = copied; });
    }
    // Told before the row is handed over, after which the row is no longer
    // the worker's.
    if (shared.watch)
        shared.watch(position, true);
    platform::PreparedCopy unwanted;
    lock.lock();
    slot.prepared = std::move(prepared);
    slot.failure = failure;
    if (slot.dropped || shared.cancelled) {
        unwanted = shared.Release(slot);
        slot.stage = Stage::Done;
    } else if (slot.discard) {
        unwanted = shared.Release(slot);
        slot.stage = Stage::AtTurn;
    } else {
        slot.stage = Stage::Ready;
    }
    shared.changed.notify_all();
    lock.unlock();
    unwanted = {};
    lock.lock();
}

void Work(const std::shared_ptr<CopyAhead::Shared> shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->cancelled || shared->CanClaim(); });
        if (shared->cancelled)
            return;
        Prepare(*shared, shared->next++, lock);
    }
}

// Where the window's events (and an interrupt) get their turn while a row's
// copy is still being made by a worker.
constexpr std::chrono::milliseconds kProgressInterval {50};

} // namespace

CopyAhead::Limits CopyAhead::DefaultLimits()
{
    // Past a few workers a run of small files gains nothing, and each holds
    // a copy's room until its turn.
    Limits limits;
    limits.workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 4);
    return limits;
}

CopyAhead::CopyAhead(const std::vector<Row>& rows, Limits limits) : rows_(rows), shared_(std::make_shared<Shared>(rows.size()))
{
    const Limits defaults = DefaultLimits();
    const int workers = limits.workers > 0 ? limits.workers : defaults.workers;
    shared_->rowsAhead = limits.rowsAhead > 0 ? limits.rowsAhead : 2 * workers;
    shared_->bytesAhead = limits.bytesAhead > 0 ? limits.bytesAhead : std::uint64_t {4} * 1024 * 1024 * workers;
    shared_->watch = std::move(limits.watch);

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
        shared_->changed.notify_all();
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
    shared_->changed.notify_all();
}

CopyOutcome CopyAhead::CopyAtTurn(int position, const platform::CopyProgress& onProgress)
{
    Shared& shared = *shared_;
    Slot& slot = shared.plan[position];
    {
        const std::lock_guard lock(shared.mutex);
        shared.turn = position;
        shared.changed.notify_all();
    }
    const std::variant<CopyOutcome, CopyTarget> checked = CheckCopy(rows_[position].source, rows_[position].destination);
    if (const CopyOutcome* ended = std::get_if<CopyOutcome>(&checked)) {
        Drop(position);
        return *ended;
    }
    const CopyTarget& target = std::get<CopyTarget>(checked);

    std::unique_lock lock(shared.mutex);
    if (slot.stage == Stage::Waiting)
        slot.stage = Stage::AtTurn;
    while (slot.stage == Stage::Preparing) {
        shared.changed.wait_for(lock, kProgressInterval);
        const std::uint64_t copied = slot.copied;
        lock.unlock();
        if (onProgress)
            onProgress(copied);
        lock.lock();
    }
    platform::PreparedCopy prepared = shared.Release(slot);
    const platform::CopyFailure failure = slot.failure;
    const bool ready = slot.stage == Stage::Ready;
    slot.stage = Stage::Done;
    lock.unlock();

    if (ready && !failure && slot.sourceId == target.sourceId) {
        const platform::CopyFailure committed = platform::CommitCopy(prepared, target.replacing);
        if (!committed.sourceChanged)
            return OutcomeOf(committed, target);
    } else if (ready && failure && !WorthCopyingAgain(failure)) {
        return OutcomeOf(failure, target);
    }
    prepared = {};
    if (ready && failure && !failure.sourceChanged) {
        // Short of room: the copies ahead give theirs back and no more are
        // made, so that the rest of the run fares as one copy at a time.
        std::vector<platform::PreparedCopy> unwanted;
        lock.lock();
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
            shared.changed.wait_for(lock, kProgressInterval);
            lock.unlock();
            if (onProgress)
                onProgress(0);
            lock.lock();
        }
        lock.unlock();
    }
    std::unique_lock<std::mutex> device;
    if (slot.device != nullptr)
        device = std::unique_lock(*slot.device);
    return OutcomeOf(platform::CopyFileReplacing(target.from, target.to, target.replacing, onProgress), target);
}

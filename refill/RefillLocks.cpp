#include "refill/RefillLocks.h"

#include "core/EventYield.h"
#include "core/PathHelpers.h"
#include "core/StateFolder.h"
#include "refill/RefillProblem.h"

#include <QDir>
#include <QFile>

#include <functional>

QStringList RefillLocks::TakeDestinations(const QStringList& folders, bool wait, RefillReport& report)
{
    using Kind = RefillProblem::Kind;
    const auto inUse = [&report](Kind kind, const FolderInUse& busy) {
        RefillProblem problem {kind, busy.folder};
        problem.holder = busy.holder;
        report.Tell(problem);
    };
    std::function<void(const FolderInUse&)> waiting;
    if (wait)
        waiting = [&inUse](const FolderInUse& busy) { inUse(Kind::WaitingForFolder, busy); };
    destinations_.Take(folders, waiting);
    for (const FolderInUse& busy : destinations_.InUse())
        inUse(Kind::FolderInUse, busy);
    for (const FolderUnlocked& folder : destinations_.Unlocked())
        report.Tell({Kind::NoLocksKept, folder.folder, folder.error});
    QStringList free;
    for (const QString& folder : folders) {
        if (!destinations_.FoldersLeftOut().contains(folder))
            free.append(folder);
    }
    return free;
}

void RefillLocks::TakeCycle(const QString& stateFile, RefillReport& report)
{
    QFile lockFile(stateFile + QStringLiteral(".lock"));
    if (MakeStateFolder() || !lockFile.open(QIODevice::Append))
        return;
    lockFile.close();
    platform::RunLock lock(ToFsPath(lockFile.fileName()));
    if (lock.Current() == platform::RunLock::State::Busy) {
        RefillProblem waiting {RefillProblem::Kind::CycleWaiting, QDir::toNativeSeparators(stateFile)};
        waiting.holder = lock.Holder();
        report.Tell(waiting);
        RunLettingWindowEventsRun([&lock] { lock.Wait(); });
    }
    cycle_ = std::move(lock);
}

void RefillLocks::Release()
{
    destinations_ = DestinationLocks();
    cycle_.reset();
}

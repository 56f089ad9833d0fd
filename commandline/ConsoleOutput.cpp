#include "commandline/ConsoleOutput.h"

#include "copyrun/DeviceFlush.h"
#include "copyrun/PlanText.h"
#include "core/ListFile.h"
#include "core/PathHelpers.h"
#include "core/SizeText.h"
#include "folders/ListFileSelection.h"
#include "platform/ChildProcesses.h"
#include "platform/FileSystem.h"
#include "refill/RefreshRecord.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h names its MessageBoxW "MessageBox", as Dialogs names a method.
#undef MessageBox
#else
#include <unistd.h>
#endif

namespace {


bool StandardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return ::_isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace


namespace {

constexpr int kInterruptedStatus = 130;

// "in use by another run (pid 4242)", naming the process where the system tells.
QString InUseByAnotherRun(const std::optional<std::uint64_t>& holder)
{
    return holder ? QStringLiteral("in use by another run (pid %1)").arg(*holder)
                  : QStringLiteral("in use by another run");
}

QString Duration(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2").arg(seconds / 60 % 60, hours > 0 ? 2 : 1, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}

// Lock-free, so a signal handler (or Windows' handler thread) may use them.
std::atomic<bool> copying {false};
std::atomic<bool> interrupted {false};

QStringList* keptMessages = nullptr;
void (*atInterruptedEnd)() = nullptr;

void EndInterrupted()
{
    platform::EndChildProcesses();
    platform::RemoveUnfinishedCopies();
    if (atInterruptedEnd)
        atInterruptedEnd();
    std::fputs("\n", stderr);
    std::_Exit(kInterruptedStatus);
}

#ifdef Q_OS_WIN
BOOL WINAPI OnConsoleInterrupt(DWORD event)
{
    if (!copying)
        std::_Exit(kInterruptedStatus);
    interrupted = true;
    // Closing the console ends the process once this returns: wait for the
    // run to remove its half-made copy and end first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(4000);
    return TRUE;
}
#else
void OnInterrupt(int)
{
    // Nothing half-made can be left while no copy runs.
    if (!copying)
        ::_exit(kInterruptedStatus);
    interrupted = true;
}
#endif

void StopIfInterrupted()
{
    if (interrupted)
        EndInterrupted();
}

} // namespace

void KeepMessages(QStringList* into, void (*interruptedEnd)())
{
    keptMessages = into;
    atInterruptedEnd = interruptedEnd;
}

void PrintMessage(const QString& text)
{
    QByteArray out;
    for (const QString& line : MessageLines(text)) {
        if (line.isEmpty())
            continue;
        out += "quorvex: " + line.toUtf8() + '\n';
        if (keptMessages)
            keptMessages->append(line);
    }
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stderr);
    std::fflush(stderr);
}

QByteArray ReadStandardInput(qint64 most, QString& error)
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() < most) {
        const std::size_t got = std::fread(chunk, 1, static_cast<std::size_t>(std::min<qint64>(sizeof chunk, most - bytes.size())), stdin);
        bytes.append(chunk, static_cast<qsizetype>(got));
        if (got == 0)
            break;
    }
    if (std::ferror(stdin))
        error = QString::fromLocal8Bit(std::strerror(errno));
    return bytes;
}

bool PrintOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool ConsoleDialogs::MessageBox(const QString& text, const QString&, Icon, Buttons buttons)
{
    PrintMessage(text);
    return buttons == Buttons::Ok;
}

namespace {

QString ReasonOf(const std::error_code& error) { return QString::fromStdString(error.message()); }

// Why a record was refused, in a few words.
QString RefusalText(const RecordRefusal& refusal)
{
    using Why = RecordRefusal::Why;
    switch (refusal.why) {
    case Why::NotOurs: return QStringLiteral("it is not a record of quorvex");
    case Why::NotAPlainFile: return QStringLiteral("it is not a plain file");
    case Why::Unreadable: return QStringLiteral("it cannot be read: %1").arg(ReasonOf(refusal.error));
    case Why::TooLarge: return QStringLiteral("it is larger than 4 MiB");
    case Why::DamagedLine: return QStringLiteral("line %1 is damaged").arg(refusal.line);
    case Why::ForeignPath:
        return QStringLiteral("line %1 names %2, not a file of this folder").arg(refusal.line).arg(refusal.named);
    case Why::None: break;
    }
    return {};
}

// One problem of the refill as a line, without "quorvex: ".
QString ProblemText(const RefillProblem& problem, bool wholeFolders)
{
    using Kind = RefillProblem::Kind;
    const QString& path = problem.path;
    const QString reason = ReasonOf(problem.error);
    const QString list = problem.destination ? QStringLiteral("dest") : QStringLiteral("source");
    switch (problem.kind) {
    case Kind::FolderMissing: return QStringLiteral("%1: %2: no such folder").arg(list, path);
    case Kind::NotAFolder: return QStringLiteral("%1: %2: not a folder").arg(list, path);
    case Kind::FolderUnreadable: return QStringLiteral("%1: %2: %3").arg(list, path, reason);
    case Kind::SourceWithoutFiles: return QStringLiteral("source: %1: no files in this folder").arg(path);
    case Kind::SourceIsDestination: return QStringLiteral("source: %1: is a destination, left out").arg(path);
    case Kind::SourceInDestination: return QStringLiteral("source: %1: lies in a destination, left out").arg(path);
    case Kind::ListMissing:
    case Kind::ListTooLarge:
    case Kind::ListNulLines: return ListFileProblemText(*ListFileProblemOf(problem));
    case Kind::ListUnreadable: return MessageLines(problem.description).join(u' ');
    case Kind::ListPathRefused: return BadCharactersMessage(path);
    case Kind::NumberBelowOne: return kNumberBelowOneMessage;
    case Kind::TooManyRows: return TooManyRowsMessage(problem.count);
    case Kind::StepFailed: return MessageLines(problem.step.description).join(u' ');
    case Kind::FolderInUse: return QStringLiteral("dest: %1: %2").arg(path, InUseByAnotherRun(problem.holder));
    case Kind::WaitingForFolder:
        return QStringLiteral("dest: %1: %2; waiting for it").arg(path, InUseByAnotherRun(problem.holder));
    case Kind::NoLocksKept: return QStringLiteral("dest: %1: no lock is kept there (%2); written unlocked").arg(path, reason);
    case Kind::FreeSpaceUnknown: return QStringLiteral("fill: %1: the free space cannot be told").arg(path);
    case Kind::TreeWithoutFiles: return QStringLiteral("source: %1: no files in this folder or below").arg(path);
    case Kind::NothingFitsInSize: return QStringLiteral("no file fits in %1 bytes").arg(problem.count);
    case Kind::NothingFitsInFreeSpace: return QStringLiteral("no file fits in the destinations' free space");
    case Kind::FewerToDrawFrom:
        return QStringLiteral("only %1 %2%3 to draw from: %1 drawn")
            .arg(problem.count)
            .arg(wholeFolders ? "folders" : "files", problem.description.isEmpty() ? QString() : u' ' + problem.description);
    case Kind::IndexSetAside:
        return QStringLiteral("index: %1: the library index was damaged; set aside, and made anew").arg(path);
    case Kind::IndexNotSaved:
        return QStringLiteral("index: %1: the library index could not be saved (%2); drawn from the tags read")
            .arg(path, problem.description);
    case Kind::RecordRefused:
        return QStringLiteral("refresh: %1: the record is refused (%2); nothing is removed there")
            .arg(path, RefusalText(problem.refusal));
    case Kind::RecordSetAside:
        return QStringLiteral("refresh: %1: the record was refused (%2); set aside as %3; nothing was removed")
            .arg(path, RefusalText(problem.refusal), path + QLatin1String(kRefusedRecordSuffix));
    case Kind::RecordNotSetAside:
        return QStringLiteral("refresh: %1: the record was refused (%2) and could not be set aside (%3); nothing "
                              "was removed")
            .arg(path, RefusalText(problem.refusal), reason);
    case Kind::RecordNotWritten: return QStringLiteral("refresh: %1: %2").arg(path, reason);
    case Kind::NotRemoved: return QStringLiteral("remove: %1: %2").arg(path, reason);
    case Kind::FolderNotMade: return QStringLiteral("mkdir: %1: %2").arg(path, reason);
    case Kind::NamesRefused:
        return QStringLiteral("dest: %1: the device refuses names with letters beyond ASCII; --ascii-names writes "
                              "plain names").arg(path);
    case Kind::PlaylistNotOurs:
        return QStringLiteral("playlist: %1: not written by quorvex, so not replaced; nothing was copied into %2")
            .arg(path, FolderOf(path));
    case Kind::PlaylistNotWritten: return QStringLiteral("playlist: %1: %2").arg(path, reason);
    case Kind::PlaylistLeftOut:
        return QStringLiteral("playlist: %1: %2 copies left out, their names cannot stand in a playlist")
            .arg(path).arg(problem.count);
    case Kind::CopiesDiffer:
        return QStringLiteral("verify: %1: a copy read back from the device differs from its source: the device may "
                              "not hold what it claims").arg(path);
    case Kind::ReadThroughCache:
        return QStringLiteral("verify: %1: the file system reads only through the system's cache: verified through "
                              "the cache").arg(path);
    case Kind::CycleWaiting: return QStringLiteral("cycle: %1: %2; waiting for it").arg(path, InUseByAnotherRun(problem.holder));
    case Kind::CycleUnreadable: return QStringLiteral("cycle: %1: %2, starting a fresh cycle").arg(path, reason);
    case Kind::CycleDamaged: return QStringLiteral("cycle: %1: damaged, starting a fresh cycle").arg(path);
    case Kind::CycleFolderNotMade: return QStringLiteral("cycle: %1: could not be made").arg(path);
    case Kind::CycleNotWritten: return QStringLiteral("cycle: %1: could not be written: %2").arg(path, reason);
    case Kind::ProfileRefused: return QStringLiteral("device: %1").arg(problem.description);
    case Kind::FfmpegMissing: return QStringLiteral("convert: %1").arg(problem.description);
    case Kind::LimitCut:
        return QStringLiteral("limit: %1: the device takes %2: %3 drawn files left out")
            .arg(path, problem.description)
            .arg(problem.count);
    case Kind::PhotoLeftOut:
        return QStringLiteral("size: %1: left out: the photo made for it takes %2 bytes, more than the room left")
            .arg(path)
            .arg(problem.count);
    }
    return path;
}

} // namespace

void ConsoleReport::Tell(const RefillProblem& problem)
{
    if (!quiet_ || WeightOf(problem.kind) != Weight::Note)
        PrintMessage(ProblemText(problem, wholeFolders_));
}

void ConsoleDialogs::ErrorReportBox(const QString& description, const QString&)
{
    ++failures_;
    PrintMessage(MessageLines(description).join(u' '));
}

ConsoleProgress::ConsoleProgress(const QList<CopyRow>& rows, bool show, bool verbose)
    : show_(show && StandardErrorIsTerminal()), verbose_(verbose)
{
    rowCount_ = static_cast<int>(rows.size());
    if (!show_)
        return;
    // The sizes of the sources, to tell bytes and time left.
    bytesBefore_.reserve(rows.size() + 1);
    std::uint64_t total = 0;
    for (const CopyRow& row : rows) {
        bytesBefore_.push_back(total);
        if (const auto facts = platform::FactsOf(ToFsPath(row.source)))
            total += facts->size;
    }
    bytesBefore_.push_back(total);
    sinceStart_.start();
}

void ConsoleProgress::RowStarting(int rowNumber, int, const QString&)
{
    StopIfInterrupted();
    current_ = rowNumber - 1;
    currentCopied_ = 0;
    Draw();
}

void ConsoleProgress::CopyProgressing(std::uint64_t copiedBytes)
{
    StopIfInterrupted();
    currentCopied_ = copiedBytes;
    Draw();
}

void ConsoleProgress::RowCopied(const QString& written)
{
    if (verbose_)
        ListCopies({written});
}

void ConsoleProgress::ListCopies(const QStringList& written)
{
    ClearLine();
    for (const QString& path : written)
        written_ = PrintOut(PlanPath(path) + '\n') && written_;
}

namespace {

// Why a row failed, in the command line's words.
QString FailureReason(const CopyOutcome& outcome)
{
    using Failure = CopyOutcome::Failure;
    switch (outcome.failure) {
    case Failure::Blank: return QStringLiteral("the row does not say what is copied where");
    case Failure::NoSource: return QStringLiteral("the source is missing or cannot be read");
    case Failure::NoFolder: return QStringLiteral("no such folder");
    case Failure::SourceChanged: return QStringLiteral("the source changed while it was being copied");
    case Failure::NameRefused:
        return QStringLiteral("the file system refuses this name (%1)").arg(QString::fromStdString(outcome.error.message()));
    case Failure::CopyDiffers: return QStringLiteral("The copy on the device differs from the source.");
    case Failure::NotConverted: return outcome.reason;
    case Failure::System: return QString::fromStdString(outcome.error.message());
    case Failure::None: break;
    }
    return outcome.reason;
}

} // namespace

void ConsoleProgress::RowFailed(const CopyRow& row, const QString& rowText, const CopyOutcome& outcome)
{
    ClearLine();
    if (row.IsBlank())
        PrintMessage(QStringLiteral("%1: %2").arg(rowText, FailureReason(outcome)));
    else
        PrintMessage(QStringLiteral("%1: %2 (from %3)").arg(row.Destination(), FailureReason(outcome), row.source));
}

void ConsoleProgress::ClearLine()
{
    // The progress line is drawn again at the next row.
    if (show_ && drawn_) {
        std::fputs("\r\x1b[K", stderr);
        drawn_ = false;
    }
}

void ConsoleProgress::RowsBegin() { copying = true; }

void ConsoleProgress::RowsEnd()
{
    copying = false;
    StopIfInterrupted();
}

void ConsoleProgress::Flushing(const FlushGroup& group)
{
    if (show_)
        Show(QStringLiteral("writing to the device: ") + ReadableText(group.folder));
}

void ConsoleProgress::ReadingBack()
{
    if (show_)
        Show(QStringLiteral("reading the copies back from their devices"));
}

void ConsoleProgress::CopiesInPlace()
{
    if (show_ && drawn_)
        std::fputs("\r\x1b[K", stderr);
}

void ConsoleProgress::Draw()
{
    if (!show_ || (drawn_ && sinceStart_.elapsed() - lastDrawn_ < 100))
        return;
    lastDrawn_ = sinceStart_.elapsed();
    const std::uint64_t total = bytesBefore_.back();
    const std::uint64_t done = std::min(total, bytesBefore_[static_cast<std::size_t>(current_)] + currentCopied_);
    const double seconds = std::max<qint64>(1, lastDrawn_) / 1000.0;
    const double rate = done / seconds;
    QString line = QStringLiteral("%1/%2 files  %3 of %4  %5/s")
                       .arg(current_)
                       .arg(rowCount_)
                       .arg(SizeText(done), SizeText(total), SizeText(static_cast<std::uint64_t>(rate)));
    if (rate > 0 && done < total)
        line += QStringLiteral("  %1 left").arg(Duration(static_cast<qint64>((total - done) / rate)));
    Show(line);
}

void ConsoleProgress::Show(const QString& line)
{
    drawn_ = true;
    std::fputs(("\r" + line.toUtf8() + "\x1b[K").constData(), stderr);
    std::fflush(stderr);
}

void HandleInterrupts()
{
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(&OnConsoleInterrupt, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    action.sa_flags = SA_RESTART; // a read or write in progress finishes its piece first
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif
}

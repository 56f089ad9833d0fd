#include "commandline/CycleState.h"

#include "commandline/ConsoleOutput.h"
#include "copyrun/PlanText.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kHeader = QByteArrayLiteral("# quorvex cycle");
const QByteArray kKeyLine = QByteArrayLiteral("# key: ");
const QByteArray kEndLine = QByteArrayLiteral("# end ");

// The options a cycle belongs to, as typed but made absolute: a new
// subfolder of a tree joins the tree's cycle rather than starting one.
QStringList KeyParts(const Options& options)
{
    static const char* const kSourceOptions[] = {"-s", "--source-tree", "--source-list"};
    QStringList parts;
    for (const FolderOption& source : options.sources) {
        parts << QString::fromLatin1(kSourceOptions[static_cast<int>(source.kind)])
              << (source.value == u"-" ? source.value : AbsolutePath(source.value));
    }
    for (const NameFilter& filter : options.filters)
        parts << (filter.keepMatching ? QStringLiteral("--only") : QStringLiteral("--exclude")) << filter.pattern;
    if (!options.cycleName.isEmpty())
        parts << QStringLiteral("--cycle-name") << options.cycleName;
    // A cycle of folders is not one of files.
    if (options.wholeFolders)
        parts << QStringLiteral("--whole-folders");
    return parts;
}

// One file per key, named by its hash; no argument holds a NUL, so joined
// with one the parts cannot run into each other.
QString StateFileName(const QStringList& parts)
{
    const QString joined = parts.join(QChar(0));
    const QByteArray units(reinterpret_cast<const char*>(joined.utf16()), joined.size() * 2);
    return QStringLiteral("cycle-%1").arg(QString::fromLatin1(
        QCryptographicHash::hash(units, QCryptographicHash::Sha256).toHex().left(32)));
}

// The paths a state file lists; empty when the file is not one whole state
// file: a header, the key, the paths, and an end line that counts them.
std::optional<QSet<QByteArray>> ParseState(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 4 || !lines.back().isEmpty() || lines[0] != kHeader || !lines[1].startsWith(kKeyLine))
        return std::nullopt;
    lines.removeLast();
    const QByteArray end = lines.takeLast();
    bool number = false;
    const qsizetype count = end.startsWith(kEndLine) ? end.mid(kEndLine.size()).toLongLong(&number) : -1;
    if (!number || count != lines.size() - 2)
        return std::nullopt;
    QSet<QByteArray> paths;
    paths.reserve(count);
    for (qsizetype line = 2; line < lines.size(); ++line) {
        if (lines[line].isEmpty() || lines[line].startsWith('#'))
            return std::nullopt;
        paths.insert(lines[line]);
    }
    return paths;
}

// Whether a row's file arrived: copied there by this run, or there already
// as the very same file.
bool Arrived(const CopyRow& row, const QSet<QString>& written)
{
    const QString destination = CollapseBackslashes(row.Destination());
    if (written.contains(destination))
        return true;
    const auto source = platform::RegularFileId(ToFsPath(row.source));
    return source && source == platform::IdOf(ToFsPath(destination));
}

// The lock of a state file, on a file of its own beside it (the state file
// itself is replaced at every save). Where none can be made, the state
// cannot be saved either, which Save says.
std::optional<platform::RunLock> LockOf(const QString& stateFile, bool quiet)
{
    QFile lockFile(stateFile + QStringLiteral(".lock"));
    if (!QDir().mkpath(CycleFolder()) || !lockFile.open(QIODevice::Append))
        return std::nullopt;
    lockFile.close();
    platform::RunLock lock(ToFsPath(lockFile.fileName()));
    if (lock.Current() == platform::RunLock::State::Busy) {
        if (!quiet)
            PrintMessage(QStringLiteral("cycle: %1: %2; waiting for it")
                             .arg(QDir::toNativeSeparators(stateFile), InUseByAnotherRun(lock.Holder())));
        lock.Wait();
    }
    return lock;
}

} // namespace

QString CycleFolder()
{
    // Honoured on every system, so that a test can point it elsewhere.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return QDir(state).filePath(QStringLiteral("quorvex"));
#ifdef Q_OS_WIN
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty())
        return QDir(local).filePath(QStringLiteral("Quorvex"));
#endif
#ifdef Q_OS_UNIX
    // Started with no environment (env -i), Qt would take / for the home.
    if (qEnvironmentVariableIsEmpty("HOME")) {
        if (const passwd* user = ::getpwuid(::getuid()))
            return QDir(QFile::decodeName(user->pw_dir)).filePath(QStringLiteral(".local/state/quorvex"));
    }
#endif
    return QDir::home().filePath(QStringLiteral(".local/state/quorvex"));
}

CycleState::CycleState(const Options& options) : wholeFolders_(options.wholeFolders)
{
    const QStringList parts = KeyParts(options);
    key_ = parts.join(u' ');
    file_ = QDir(CycleFolder()).filePath(StateFileName(parts));
    if (!options.dryRun)
        lock_ = LockOf(file_, options.quiet);
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            PrintMessage(QStringLiteral("cycle: %1: %2, starting a fresh cycle").arg(QDir::toNativeSeparators(file_), file.errorString()));
        return;
    }
    if (std::optional<QSet<QByteArray>> paths = ParseState(file.readAll()))
        drawn_ = std::move(*paths);
    else
        PrintMessage(QStringLiteral("cycle: %1: damaged, starting a fresh cycle").arg(QDir::toNativeSeparators(file_)));
}

bool CycleState::Drawn(const QString& path)
{
    if (drawn_.isEmpty())
        return false;
    QByteArray line = PlanPath(path);
    if (!drawn_.contains(line))
        return false;
    stillThere_.insert(std::move(line));
    return true;
}

void CycleState::Record(const QList<CopyRow>& rows, const QStringList& written)
{
    const QSet<QString> writtenFiles(written.begin(), written.end());
    QSet<QByteArray> arrived;
    bool drewAgain = false;
    for (const CopyRow& row : rows) {
        QByteArray line = PlanPath(wholeFolders_ ? FolderOf(row.source) : row.source);
        drewAgain = drewAgain || drawn_.contains(line);
        if (!arrived.contains(line) && Arrived(row, writtenFiles))
            arrived.insert(std::move(line));
    }
    if (drewAgain) {
        next_ = arrived.intersect(drawn_);
    } else {
        next_ = stillThere_;
        next_.unite(arrived);
    }
}

bool CycleState::Save() const
{
    QList<QByteArray> lines(next_.begin(), next_.end());
    std::sort(lines.begin(), lines.end());
    QByteArray text = kHeader + '\n' + kKeyLine + PlanPath(key_) + '\n';
    for (const QByteArray& line : lines)
        text += line + '\n';
    text += kEndLine + QByteArray::number(lines.size()) + '\n';
    if (!QDir().mkpath(CycleFolder())) {
        PrintMessage(QStringLiteral("cycle: %1: could not be made").arg(QDir::toNativeSeparators(CycleFolder())));
        return false;
    }
    // Written beside the old one and renamed over it: never half a state.
    QSaveFile file(file_);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    if (!saved)
        PrintMessage(QStringLiteral("cycle: %1: could not be written: %2").arg(QDir::toNativeSeparators(file_), file.errorString()));
    return saved;
}

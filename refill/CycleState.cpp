#include "refill/CycleState.h"

#include "copyrun/PlanText.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"
#include "refill/RefillProblem.h"
#include "core/StateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

const QByteArray kHeader = QByteArrayLiteral("# quorvex cycle");
const QByteArray kKeyLine = QByteArrayLiteral("# key: ");
const QByteArray kEndLine = QByteArrayLiteral("# end ");

// The options a cycle belongs to, as typed but made absolute: a new
// subfolder of a tree joins the tree's cycle rather than starting one.
QStringList KeyParts(const RefillSettings& options)
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

} // namespace

CycleState::CycleState(const RefillSettings& settings, RefillReport& report)
    : report_(report), wholeFolders_(settings.wholeFolders)
{
    const QStringList parts = KeyParts(settings);
    key_ = parts.join(u' ');
    file_ = StateFileOf(settings);
    drawn_ = Read();
}

QString CycleState::StateFileOf(const RefillSettings& settings)
{
    return QDir(StateFolder()).filePath(StateFileName(KeyParts(settings)));
}

QSet<QByteArray> CycleState::Read() const
{
    const std::filesystem::path path = ToFsPath(file_);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::status(path, error)))
        return {};
    const QString shown = QDir::toNativeSeparators(file_);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        report_.Tell({RefillProblem::Kind::CycleUnreadable, shown, std::error_code(errno, std::generic_category())});
        return {};
    }
    std::optional<QSet<QByteArray>> paths = ParseState(QByteArray::fromStdString(text));
    if (!paths) {
        report_.Tell({RefillProblem::Kind::CycleDamaged, shown});
        return {};
    }
    return std::move(*paths);
}

void CycleState::ReadAgain()
{
    QSet<QByteArray> now = Read();
    QSet<QByteArray> stillThere;
    for (const QByteArray& path : std::as_const(now)) {
        if (stillThere_.contains(path) || !drawn_.contains(path))
            stillThere.insert(path);
    }
    stillThere_ = std::move(stillThere);
    drawn_ = std::move(now);
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
    if (const std::error_code error = MakeStateFolder()) {
        report_.Tell({RefillProblem::Kind::CycleFolderNotMade, QDir::toNativeSeparators(StateFolder()), error});
        return false;
    }
    // Written beside the old one and renamed over it: never half a state.
    const std::error_code error = platform::WriteFileWhole(ToFsPath(file_), ToFsPath(file_ + QStringLiteral(".new")),
                                                           {text.constData(), std::size_t(text.size())});
    if (error)
        report_.Tell({RefillProblem::Kind::CycleNotWritten, QDir::toNativeSeparators(file_), error});
    return !error;
}

#include "core/FileUrl.h"

#include "core/PathHelpers.h"
#include "platform/NameCodec.h"

#include <QDir>

namespace {

const QByteArray kScheme = QByteArrayLiteral("file:");

// The path part of a file: URL, percent-decoded; empty when the URL names
// no file this machine can open. On Windows a file on another host is a
// network path, "//host/share/name".
QByteArray LocalPathBytes(const QByteArray& url)
{
    if (!url.toLower().startsWith(kScheme))
        return {};
    QByteArray rest = url.mid(kScheme.size());
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return {};
        const QByteArray host = rest.mid(2, slash - 2);
        if (!host.isEmpty() && host.toLower() != "localhost") {
#ifdef Q_OS_WIN
            return "//" + QByteArray::fromPercentEncoding(rest.mid(2));
#else
            return {};
#endif
        }
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/'))
        return {};
    return QByteArray::fromPercentEncoding(rest);
}

QString PathOfBytes(const QByteArray& bytes)
{
#ifdef Q_OS_WIN
    // "/C:/folder/name" names C:\folder\name.
    QByteArray path = bytes;
    if (path.size() >= 3 && path[2] == ':')
        path.remove(0, 1);
    const std::u16string text = platform::DecodeName(std::string_view(path.constData(), path.size()));
    return QDir::toNativeSeparators(QString::fromStdU16String(text));
#else
    return FromFsName(platform::NativeStringView(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

} // namespace

QStringList LocalPathsOfUriList(const QByteArray& uriList)
{
    QStringList paths;
    for (QByteArray line : uriList.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QByteArray bytes = LocalPathBytes(line.trimmed());
        // A "%00" names no file: cut there, the path would name another.
        if (!bytes.isEmpty() && !bytes.contains('\0'))
            paths.append(PathOfBytes(bytes));
    }
    return paths;
}

QByteArray FileUrlOf(const QString& path)
{
#ifdef Q_OS_WIN
    const QByteArray bytes = '/' + QDir::fromNativeSeparators(path).toUtf8();
#else
    const std::string native = ToFsPath(path).native();
    const QByteArray bytes(native.data(), static_cast<qsizetype>(native.size()));
#endif
    return kScheme + "//" + bytes.toPercentEncoding("/");
}

#include "core/ShellQuoting.h"

#include "platform/NameCodec.h"

#include <QRegularExpression>

#include <algorithm>

QString PosixShellQuoted(const QString& argument)
{
    // Words that sh takes as they are need no quotes.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    return u'\'' + QString(argument).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

QString PowerShellQuoted(const QString& argument)
{
    QString quoted;
    quoted.reserve(argument.size() + 2);
    quoted += u'\'';
    for (const QChar c : argument) {
        // ' and the typographic single quotes all close a quoted string.
        if (c == u'\'' || c == u'\u2018' || c == u'\u2019' || c == u'\u201a' || c == u'\u201b')
            quoted += c;
        quoted += c;
    }
    quoted += u'\'';
    return quoted;
}

QString ShellCommandLine(const QString& program, const QStringList& arguments)
{
#ifdef Q_OS_WIN
    // Options and numbers stand as they are; all else is quoted.
    static const QRegularExpression bare(QStringLiteral("^-{0,2}[A-Za-z0-9][A-Za-z0-9-]*$"));
    QString line = QStringLiteral("& ") + PowerShellQuoted(program);
    for (const QString& argument : arguments)
        line += u' ' + (bare.match(argument).hasMatch() ? argument : PowerShellQuoted(argument));
#else
    QString line = PosixShellQuoted(program);
    for (const QString& argument : arguments)
        line += u' ' + PosixShellQuoted(argument);
#endif
    return line;
}

Uncarried UncarriedIn(const QString& argument)
{
    Uncarried uncarried;
    uncarried.lineBreak = argument.contains(u'\n') || argument.contains(u'\r');
#ifdef Q_OS_WIN
    uncarried.variable = argument.contains(u'%');
#endif
    uncarried.bytes = std::any_of(argument.begin(), argument.end(), [](QChar c) { return platform::IsEscapedByte(c.unicode()); });
    return uncarried;
}

#include "QtDialogs.h"

#include "FileUrl.h"
#include "PathHelpers.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

// Messages separate their lines with CR (and CR LF); a label breaks lines at LF.
QString DisplayText(const QString& message)
{
    QString text = ReadableText(message, true);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

bool QtDialogs::MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    DisplayText(text),
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    owner_);
    box.setTextFormat(Qt::PlainText);
    return box.exec() != QMessageBox::No;
}

QString QtDialogs::InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(owner_, title, DisplayText(prompt), QLineEdit::Normal,
                                               defaultText, &accepted);
    return accepted ? text : QString();
}

QString QtDialogs::BrowseForFolder(const QString& title, const QString& startFolder)
{
    const QString start = IsFolder(startFolder) ? startFolder : QString();
    const QString chosen = QFileDialog::getExistingDirectory(owner_, title, start, QFileDialog::ShowDirsOnly);
    return PathFromQt(chosen);
}

QStringList QtDialogs::OpenFiles(const QString& title, const QString& filter)
{
    // "*.*" means every file, as on Windows; Qt's own pattern for that is "*".
    QString qtFilter = filter;
    qtFilter.replace(QLatin1String("(*.*)"), QLatin1String("(*)"));
    QStringList files = QFileDialog::getOpenFileNames(owner_, title, QString(), qtFilter);
    for (QString& file : files)
        file = PathFromQt(file);
    return files;
}

void QtDialogs::OpenInFileBrowser(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromEncoded(FileUrlOf(folder)));
}

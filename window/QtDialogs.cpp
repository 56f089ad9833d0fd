#include "window/QtDialogs.h"

#include "core/FileUrl.h"
#include "core/PathHelpers.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

// Messages separate their lines with CR (and CR LF); a label breaks lines at LF.
QString DisplayText(const QString& message) { return MessageLines(message).join(u'\n'); }

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

std::unique_ptr<QFileDialog> QtDialogs::OpenFilesDialog(const QString& title, const QString& filter) const
{
    auto dialog = std::make_unique<QFileDialog>(owner_, title);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    // "*.*" means every file, as on Windows; Qt's own "*.*" hides names
    // without a dot. Qt takes the patterns from the last parentheses and,
    // with the details hidden, shows the text before them: "(*.*)" is shown,
    // "(*)" is used. Windows' own chooser, and Qt's where it has none (as
    // without a display), read the filter the same way.
#ifndef Q_OS_WIN
    // The desktop's own choosers would show both parentheses.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilter(filter.endsWith(QLatin1String("(*.*)")) ? filter + QLatin1String(" (*)") : filter);
    return dialog;
}

QStringList QtDialogs::OpenFiles(const QString& title, const QString& filter)
{
    const std::unique_ptr<QFileDialog> dialog = OpenFilesDialog(title, filter);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    QStringList files = dialog->selectedFiles();
    for (QString& file : files)
        file = PathFromQt(file);
    return files;
}

void QtDialogs::OpenInFileBrowser(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromEncoded(FileUrlOf(folder)));
}

bool QtDialogs::RunDialog(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

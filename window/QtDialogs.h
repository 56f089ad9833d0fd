#pragma once

#include "core/Dialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QFileDialog;

// The real dialogs, modal to the main window.
class QtDialogs final : public Dialogs {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }

    bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString BrowseForFolder(const QString& title, const QString& startFolder) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    void OpenInFileBrowser(const QString& folder) override;
    bool RunDialog(QDialog& dialog) override;

    // The chooser OpenFiles shows, not yet shown. Its filter reads as given,
    // and "All Files (*.*)" lists every file, names without a dot included.
    std::unique_ptr<QFileDialog> OpenFilesDialog(const QString& title, const QString& filter) const;

private:
    QPointer<QWidget> owner_;
};

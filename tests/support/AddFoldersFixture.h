#pragma once

#include "core/SettingsStore.h"
#include "support/FormFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

// The window shown, a count of one, and no stored start folder for the
// folder picker.
class AddFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        StoreStartFolder(QString());
        form = &fixture.Open();
        fixture.ShowActive();
        form->Text1->setText(QStringLiteral("1"));
    }
    void TearDown() override { StoreStartFolder(QString()); }

    // The folder the picker opens at; a null folder removes it.
    static void StoreStartFolder(const QString& folder)
    {
        QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, SettingsStore::kApplicationKey,
                           SettingsStore::kSection);
        if (folder.isNull())
            settings.remove(QStringLiteral("LastFolderDot"));
        else
            settings.setValue(QStringLiteral("LastFolderDot"), folder);
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // A source folder with one file, so that every rebuild draws once.
    QString SourceWithAFile()
    {
        fixture.tree.WriteFile(QStringLiteral("src/song.mp3"), "m");
        return fixture.tree.Path(QStringLiteral("src"));
    }

    FormFixture fixture;
    Form1* form = nullptr;
};

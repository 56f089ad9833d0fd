#include "app/ApplicationTitle.h"
#include "app/PointerImage.h"
#include "app/RowListModel.h"
#include "app/SettingsStore.h"
#include "support/FormFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include "app/SummaryBox.h"
#include "app/SummaryText.h"
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

void StoreSetting(const QString& name, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, SettingsStore::kApplicationKey,
                       SettingsStore::kSection);
    settings.setValue(name, value);
}

void ForgetSetting(const QString& name)
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, SettingsStore::kApplicationKey, SettingsStore::kSection)
        .remove(name);
}

QColor Background(const QWidget* widget) { return widget->palette().color(QPalette::Window); }

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

const QString kSourceTree = QStringLiteral(QUORVEX_SOURCE_DIR);

} // namespace

class Form1Load : public ::testing::Test {
protected:
    void TearDown() override { ForgetSetting(QStringLiteral("Text1")); }
    FormFixture fixture;
};

TEST_F(Form1Load, StartsWithCaptionTitleEmptyListsAndIdleControls)
{
    Form1& form = fixture.Open();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvex"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Quorvex"));
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.SourceList->Count() + form.DestinationList->Count() + form.CopyList->Count(), 0);
    EXPECT_EQ(form.SourceList->Header(), QStringLiteral("1. Source Folder(s)"));
    EXPECT_EQ(form.DestinationList->Header(), QStringLiteral("2. Destination Folder(s):"));
    EXPECT_EQ(form.CopyList->Header(), QStringLiteral("Random Copy List"));
    for (QTreeView* view : {form.ListView1, form.ListView2, form.ListView3}) {
        EXPECT_EQ(view->model()->columnCount(), 1);
        EXPECT_EQ(view->columnWidth(0), form.TwipsToPixelsX(7000));
        EXPECT_EQ(view->toolTip(), QStringLiteral("Double-click item to remove it. Move | line to right and out of "
                                                  "window to reveal full names."));
    }
    EXPECT_FALSE(form.Check11->isChecked());
    EXPECT_TRUE(form.Summary->Text().isEmpty());
    EXPECT_EQ(form.Text4->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.Text4->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(form.MousePointer(), Form1::kDefaultPointer);
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(Form1Load, SeedsTheGeneratorOnceFromTheTimeOfDay)
{
    fixture.Open();
    ASSERT_EQ(fixture.random.seeds.size(), 1u);
    EXPECT_LT(fixture.random.seeds[0], 86400u);
}

TEST_F(Form1Load, NumberOfFilesComesFromTheSettingsUnchanged)
{
    ForgetSetting(QStringLiteral("Text1"));
    EXPECT_EQ(fixture.Open().Text1->text(), QStringLiteral("100"));
    StoreSetting(QStringLiteral("Text1"), QStringLiteral("25"));
    EXPECT_EQ(fixture.Open().Text1->text(), QStringLiteral("25"));
    // The zero rule waits until the user leaves the box.
    StoreSetting(QStringLiteral("Text1"), QStringLiteral("none"));
    EXPECT_EQ(fixture.Open().Text1->text(), QStringLiteral("none"));
}

TEST_F(Form1Load, WithoutSkinTheBackgroundsAreWhite)
{
    Form1& form = fixture.Open();
    EXPECT_FALSE(form.IsSkinApplied());
    EXPECT_TRUE(form.styleSheet().isEmpty());
    for (const QWidget* widget : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Frame1),
                                  static_cast<QWidget*>(form.Frame2), static_cast<QWidget*>(form.Frame4),
                                  static_cast<QWidget*>(form.Check11)})
        EXPECT_EQ(Background(widget), QColor(Qt::white)) << widget->objectName().toStdString();
}

TEST_F(Form1Load, TheSkinTurnsBackgroundsToButtonFace)
{
    const QByteArray sheet = ReadFile(kSourceTree + QStringLiteral("/app/installed/x/o.cjs"));
    ASSERT_FALSE(sheet.isEmpty());
    fixture.tree.WriteFile(QStringLiteral("x/o.cjs"), sheet);
    Form1& form = fixture.Open();
    EXPECT_TRUE(form.IsSkinApplied());
    EXPECT_EQ(form.styleSheet(), QString::fromUtf8(sheet));
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    for (const QWidget* widget : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Frame1),
                                  static_cast<QWidget*>(form.Frame2), static_cast<QWidget*>(form.Frame4),
                                  static_cast<QWidget*>(form.Check11)})
        EXPECT_EQ(Background(widget), buttonFace) << widget->objectName().toStdString();
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(Form1Load, AHiddenOrFolderSkinIsNoSkin)
{
    fixture.tree.MakeFolder(QStringLiteral("x/o.cjs"));
    EXPECT_FALSE(fixture.Open().IsSkinApplied());
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(Form1Load, LoadsTheHandPointerWithItsHotspot)
{
    EXPECT_FALSE(fixture.Open().HasCustomPointerImage());

    const QByteArray cursor = ReadFile(kSourceTree + QStringLiteral("/app/installed/HAND-M.CUR"));
    fixture.tree.WriteFile(QStringLiteral("HAND-M.CUR"), cursor);
    Form1& form = fixture.Open();
    ASSERT_TRUE(form.HasCustomPointerImage());
    form.SetMousePointer(Form1::kCustomPointer);
    EXPECT_EQ(form.cursor().hotSpot(), CursorHotspot(cursor));
    EXPECT_EQ(form.cursor().pixmap().size(), QSize(32, 32));
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(Form1Load, AFailingStepIsReportedAndTheRestStillRuns)
{
    fixture.tree.WriteFile(QStringLiteral("HAND-M.CUR"), "this is no picture");
    StoreSetting(QStringLiteral("Text1"), QStringLiteral("7"));
    Form1& form = fixture.Open();

    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("\r\nin Zentrabel2021/08/31.Form1.Form_Load at line 110\r\r")))
        << messages[0].toStdString();
    EXPECT_EQ(fixture.dialogs.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_FALSE(form.HasCustomPointerImage());
    EXPECT_EQ(form.Text1->text(), QStringLiteral("7"));
    EXPECT_EQ(form.ListView3->columnWidth(0), form.TwipsToPixelsX(7000));
}

TEST(CursorFile, HotspotComesFromTheFirstEntry)
{
    QByteArray data(22, '\0');
    data[2] = 2; // cursor
    data[4] = 1; // one image
    data[6 + 4] = 6;
    data[6 + 6] = 3;
    EXPECT_EQ(CursorHotspot(data), QPoint(6, 3));
    data[2] = 1; // an icon file has no hot spot
    EXPECT_EQ(CursorHotspot(data), QPoint(-1, -1));
    EXPECT_EQ(CursorHotspot(QByteArray("short")), QPoint(-1, -1));
}

TEST(Form1Layout, ClientAreaAndControlsFollowTheTwipsTable)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    const auto rect = [&](int left, int top, int width, int height) {
        return QRect(form.TwipsToPixelsX(left), form.TwipsToPixelsY(top), form.TwipsToPixelsX(width),
                     form.TwipsToPixelsY(height));
    };
    EXPECT_EQ(form.size(), QSize(form.TwipsToPixelsX(15960), form.TwipsToPixelsY(6315)));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.ListView1->geometry(), rect(120, 120, 7800, 1785));
    EXPECT_EQ(form.PushButton16->geometry(), rect(4080, 3015, 3840, 405));
    EXPECT_EQ(form.Check11->geometry(), rect(240, 300, 4095, 255));
    EXPECT_EQ(form.Check11->parentWidget(), form.Frame2);
    EXPECT_EQ(form.Text4->geometry(), rect(240, 260, 7300, 2400));
    EXPECT_EQ(form.Text4->parentWidget(), form.Frame4);
    EXPECT_EQ(form.ProgressBar1->geometry(), rect(8040, 5800, 7800, 405));
    // At 96 dots per inch a pixel is 15 twips.
    if (form.logicalDpiX() == 96 && form.logicalDpiY() == 96) {
        EXPECT_EQ(form.size(), QSize(1064, 421));
        EXPECT_EQ(form.PushButton12->geometry(), QRect(536, 62, 520, 27));
    }
    // The duplicates option and the copy list lie below the client area.
    EXPECT_GE(form.Frame2->geometry().top(), form.height());
    EXPECT_GE(form.ListView3->geometry().top(), form.height());
}

TEST(Form1Layout, CaptionsFontsAndWindowFrame)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    EXPECT_EQ(form.PushButton8->text(), QStringLiteral("Add Folder(s)"));
    EXPECT_EQ(form.PushButton6->text(), QStringLiteral("Add All Subfolders In Folder"));
    EXPECT_EQ(form.PushButton1->text(), QStringLiteral("Load List Of Folders From File"));
    EXPECT_EQ(form.PushButton12->text(), QStringLiteral("3. Start Generating List"));
    EXPECT_EQ(form.PushButton13->text(), QStringLiteral("Remove Filenames Not Cont. X"));
    EXPECT_EQ(form.PushButton2->text(), QStringLiteral("4. Start Copying Files"));
    EXPECT_EQ(form.PushButton16->text(), QStringLiteral("Load Sample/Example Files"));
    EXPECT_EQ(form.Frame1->title(), QStringLiteral("Number Of Files To Copy From Source To Destination"));
    EXPECT_EQ(form.Frame4->title(), QStringLiteral("Summary/Preview Before Copying"));
    EXPECT_EQ(form.Check11->text(), QStringLiteral("Allow same file to be copied more than once"));

    EXPECT_TRUE(form.font().bold());
    EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(form.ListView2->font().pointSizeF(), 9.0);
    for (QPushButton* button : form.PushButtons()) {
        EXPECT_TRUE(button->font().bold());
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
    }
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

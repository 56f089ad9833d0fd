#include "core/ApplicationTitle.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "support/FormFixture.h"
#include "window/PointerImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include "core/SummaryText.h"
#include "window/SummaryBox.h"
#include "window/TextProgressBar.h"
#include <QPushButton>
#include <QSettings>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

void StoreSetting(const QString& name, const QString& value)
{
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, SettingsStore::kApplicationKey,
                       SettingsStore::kSection);
    settings.setValue(name, value);
}

void ForgetSetting(const QString& name)
{
    QSettings(QSettings::defaultFormat(), QSettings::UserScope, SettingsStore::kApplicationKey, SettingsStore::kSection)
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
    const QByteArray sheet = ReadFile(kSourceTree + QStringLiteral("/data/x/o.cjs"));
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

    const QByteArray cursor = ReadFile(kSourceTree + QStringLiteral("/data/HAND-M.CUR"));
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

// Every control of the layout table: its place in twips, its caption and the
// font it shows. A push button's caption fits inside it (with Arial, or
// Liberation Sans, which has Arial's widths).
TEST(Form1Layout, EveryControlFollowsTheLayoutTable)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    // Offscreen an inch is 96 pixels, as on most screens: a pixel is 15 twips.
    ASSERT_EQ(QPoint(form.logicalDpiX(), form.logicalDpiY()), QPoint(96, 96));
    const auto pixels = [](int twips) { return qRound(twips / 15.0); };
    EXPECT_EQ(form.size(), QSize(1064, 421));
    EXPECT_EQ(form.PushButton12->geometry(), QRect(536, 62, 520, 27));
    EXPECT_EQ(form.PushButton13->geometry(), QRect(800, 285, 256, 27)); // 4270 twips: 284.7 pixels
    EXPECT_EQ(form.Check11->geometry(), QRect(16, 20, 273, 17));
    // The window is its client area and, above it, the menu bar, as on Windows.
    const Form1Frame& frame = fixture.Frame();
    const int menuHeight = frame.menuBar()->height();
    EXPECT_GT(menuHeight, 0);
    EXPECT_EQ(frame.centralWidget(), &form);
    EXPECT_EQ(form.geometry(), QRect(0, menuHeight, 1064, 421));
    EXPECT_EQ(frame.size(), QSize(1064, 421 + menuHeight));
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Quorvex"));
    EXPECT_FALSE(frame.windowIcon().isNull());
    EXPECT_EQ(frame.RefillMenu->title(), QStringLiteral("&Refill"));
    EXPECT_EQ(frame.RefillSettingsItem->text(), QStringLiteral("Refill &Settings..."));
    EXPECT_EQ(frame.CopyCommandLineItem->text(), QStringLiteral("Copy &Command Line"));
    const auto caption = [](QWidget* control) -> QString {
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            return button->text();
        if (auto* frame = qobject_cast<QGroupBox*>(control))
            return frame->title();
        if (auto* list = qobject_cast<QTreeView*>(control))
            return list->model()->headerData(0, Qt::Horizontal).toString();
        if (auto* bar = qobject_cast<QProgressBar*>(control))
            return bar->text();
        return {};
    };
    const struct {
        QWidget* control;
        const char* caption;
        int left, top, width, height;
        QWidget* parent;
    } table[] = {
        {form.ListView1, "1. Source Folder(s)", 120, 120, 7800, 1785, &form},
        {form.PushButton8, "Add Folder(s)", 120, 1990, 3840, 405, &form},
        {form.PushButton6, "Add All Subfolders In Folder", 4080, 1990, 3840, 405, &form},
        {form.PushButton1, "Load List Of Folders From File", 120, 2500, 3840, 405, &form},
        {form.PushButton4, "Clear List", 4080, 2500, 3840, 405, &form},
        {form.PushButton15, "Help", 120, 3010, 3840, 405, &form},
        {form.PushButton16, "Load Sample/Example Files", 4080, 3015, 3840, 405, &form},
        {form.ListView2, "2. Destination Folder(s):", 120, 3510, 7800, 1695, &form},
        {form.PushButton3, "Add Folder(s)", 120, 5290, 3840, 405, &form},
        {form.PushButton5, "Add All Subfolders In Folder", 4080, 5290, 3840, 405, &form},
        {form.PushButton10, "Load List Of Folders From File", 120, 5800, 3840, 405, &form},
        {form.PushButton7, "Clear List", 4080, 5800, 3840, 405, &form},
        {form.Frame2, "Duplicate Options", 240, 6480, 7440, 720, &form},
        {form.Check11, "Allow same file to be copied more than once", 240, 300, 4095, 255, form.Frame2},
        {form.Frame1, "Number Of Files To Copy From Source To Destination", 8040, 30, 7800, 800, &form},
        {form.Text1, "", 240, 300, 7335, 330, form.Frame1},
        {form.PushButton12, "3. Start Generating List", 8040, 930, 7800, 405, &form},
        {form.Frame4, "Summary/Preview Before Copying", 8040, 1390, 7800, 2780, &form},
        {form.Text4, "", 240, 260, 7300, 2400, form.Frame4},
        {form.PushButton11, "Remove Filenames Containing X", 8040, 4270, 3840, 405, &form},
        {form.PushButton13, "Remove Filenames Not Cont. X", 12000, 4270, 3840, 405, &form},
        {form.PushButton9, "Clear List", 8040, 4780, 3840, 405, &form},
        {form.PushButton14, "Help", 12000, 4780, 3840, 405, &form},
        {form.PushButton2, "4. Start Copying Files", 8040, 5290, 7800, 405, &form},
        {form.ProgressBar1, "Progress Bar", 8040, 5800, 7800, 405, &form},
        {form.ListView3, "Random Copy List", 8040, 7170, 7800, 2745, &form},
    };
    for (const auto& row : table) {
        const std::string name = row.control->objectName().toStdString();
        const QRect place(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height));
        EXPECT_EQ(row.control->geometry(), place) << name;
        EXPECT_EQ(row.control->parentWidget(), row.parent) << name;
        if (row.control != form.Text1) {
            EXPECT_EQ(caption(row.control), QString::fromUtf8(row.caption)) << name;
        }
        const bool isButton = qobject_cast<QPushButton*>(row.control) != nullptr;
        const QFontInfo shown = row.control->fontInfo();
        EXPECT_TRUE(shown.bold()) << name;
        EXPECT_DOUBLE_EQ(shown.pointSizeF(), isButton ? 11.25 : 9.0) << name;
        EXPECT_TRUE(shown.family() == "Arial" || shown.family() == "Liberation Sans")
            << name << ": " << shown.family().toStdString();
        if (isButton) {
            EXPECT_LE(row.control->sizeHint().width(), row.control->width()) << name << " clips its caption";
        }
    }
    // The duplicates option and the copy list lie below the client area.
    EXPECT_GE(form.Frame2->geometry().top(), form.height());
    EXPECT_GE(form.ListView3->geometry().top(), form.height());
}

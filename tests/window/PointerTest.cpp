#include "core/EventYield.h"
#include "core/RowListModel.h"
#include "support/FormFixture.h"
#include "support/YieldEveryStep.h"

#include <QContextMenuEvent>
#include <QTimer>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include "core/SummaryText.h"
#include "window/SummaryBox.h"
#include "window/TextProgressBar.h"
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

// A real pointer move over a control, as the window system delivers it.
void MoveOver(QWidget* widget)
{
    QTest::mouseMove(widget, widget->rect().center());
    QApplication::processEvents();
}

} // namespace

class Pointer : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = &fixture.Open();
        fixture.ShowActive();
    }
    FormFixture fixture;
    Form1* form = nullptr;
};

TEST_F(Pointer, HandOverButtonsArrowElsewhere)
{
    for (QPushButton* button : form->PushButtons()) {
        MoveOver(form->Text4->viewport());
        ASSERT_EQ(form->MousePointer(), Form1::kDefaultPointer);
        MoveOver(button);
        EXPECT_EQ(form->MousePointer(), Form1::kCustomPointer) << button->objectName().toStdString();
    }
    for (QWidget* control : {static_cast<QWidget*>(form->Text1), form->ListView2->viewport(),
                             form->ListView1->viewport(), static_cast<QWidget*>(form->Frame1),
                             static_cast<QWidget*>(form->Frame4)}) {
        MoveOver(form->PushButton8);
        MoveOver(control);
        EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer) << control->objectName().toStdString();
    }
    MoveOver(form->PushButton8);
    QTest::mouseMove(form, QPoint(form->width() - 3, form->height() - 3)); // bare background
    QApplication::processEvents();
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(Pointer, TheProgressBarKeepsThePointerItGot)
{
    MoveOver(form->PushButton2);
    MoveOver(form->ProgressBar1);
    EXPECT_EQ(form->MousePointer(), Form1::kCustomPointer);
    MoveOver(form->Text4->viewport());
    MoveOver(form->ProgressBar1);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(Pointer, TheHourglassSurvivesEveryHover)
{
    form->SetMousePointer(Form1::kBusyPointer);
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    for (QPushButton* button : form->PushButtons())
        MoveOver(button);
    for (QWidget* control : {static_cast<QWidget*>(form->Text1), form->Text4->viewport(), form->ListView1->viewport(),
                             form->ListView2->viewport(), static_cast<QWidget*>(form->Frame1),
                             static_cast<QWidget*>(form->ProgressBar1)})
        MoveOver(control);
    EXPECT_EQ(form->MousePointer(), Form1::kBusyPointer);
    EXPECT_EQ(form->Text1->cursor().shape(), Qt::WaitCursor);

    // Once the command is over, the next move shows the hand again.
    form->SetMousePointer(Form1::kDefaultPointer);
    MoveOver(form->PushButton12);
    EXPECT_EQ(form->MousePointer(), Form1::kCustomPointer);
    MoveOver(form->Text1);
    EXPECT_EQ(form->Text1->cursor().shape(), Qt::IBeamCursor);
}

// The hourglass shows while each long command runs, seen from inside it:
// from its yields, or from a message it shows midway.
TEST_F(Pointer, TheHourglassShowsWhileLongCommandsRun)
{
    YieldEveryStep everyStep;
    const QString source = fixture.tree.WriteFile(QStringLiteral("src/a.txt"), "a");
    const QString out = fixture.tree.MakeFolder(QStringLiteral("out"));
    fixture.random.values = std::vector<float>(100, 0.0f);
    int seen = -1;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (IsInsideCommandYield())
            seen = form->MousePointer();
    });
    fixture.dialogs.onMessage = [&](const QString& text) {
        if (text.startsWith(QStringLiteral("There are no files in folder")))
            seen = form->MousePointer();
    };
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"generate", [&] {
             form->SourceList->Append({fixture.tree.Path(QStringLiteral("src")), fixture.tree.MakeFolder(QStringLiteral("empty"))});
             form->DestinationList->Append(out);
             form->Text1->setText(QStringLiteral("1"));
             QTest::mouseClick(form->PushButton12, Qt::LeftButton);
         }},
        {"filter", [&] {
             fixture.dialogs.inputAnswers = {QStringLiteral("no such text")};
             QTest::mouseClick(form->PushButton11, Qt::LeftButton);
         }},
        {"scan", [&] {
             fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("src"))};
             QTest::mouseClick(form->PushButton6, Qt::LeftButton);
         }},
        {"copy", [&] { QTest::mouseClick(form->PushButton2, Qt::LeftButton); }},
    };
    watcher.start();
    for (const auto& [name, run] : commands) {
        seen = -1;
        run();
        EXPECT_EQ(seen, Form1::kBusyPointer) << name;
        EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer) << name;
    }
}

TEST_F(Pointer, WithoutHandImageTheCustomValueShowsTheArrow)
{
    ASSERT_FALSE(form->HasCustomPointerImage());
    MoveOver(form->PushButton9);
    EXPECT_EQ(form->MousePointer(), Form1::kCustomPointer);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

class NumberOfFiles : public Pointer {
protected:
    // Types text into the emptied box, then leaves it with the Tab key.
    QString TypeAndLeave(const QString& text)
    {
        form->Text1->setFocus();
        form->Text1->selectAll();
        QTest::keyClick(form->Text1, Qt::Key_Delete);
        QTest::keyClicks(form->Text1, text);
        QTest::keyClick(form->Text1, Qt::Key_Tab);
        EXPECT_FALSE(form->Text1->hasFocus());
        return form->Text1->text();
    }
};

TEST_F(NumberOfFiles, ZeroBecomesOneWhenTheFocusLeaves)
{
    EXPECT_EQ(TypeAndLeave(QString()), QStringLiteral("1"));
    EXPECT_EQ(TypeAndLeave(QStringLiteral("0.0")), QStringLiteral("1"));
    EXPECT_EQ(TypeAndLeave(QStringLiteral("   0")), QStringLiteral("1"));
    EXPECT_EQ(TypeAndLeave(QStringLiteral("files")), QStringLiteral("1"));
}

TEST_F(NumberOfFiles, OtherValuesStayAsTyped)
{
    EXPECT_EQ(TypeAndLeave(QStringLiteral("-5")), QStringLiteral("-5"));
    EXPECT_EQ(TypeAndLeave(QStringLiteral("2.5")), QStringLiteral("2.5"));
    EXPECT_EQ(TypeAndLeave(QStringLiteral("7 files")), QStringLiteral("7 files"));
}

// Only moving on to another control applies the rule: a context menu that
// opens and closes, or another program taking the focus, leaves it be.
TEST_F(NumberOfFiles, TheRuleWaitsUntilTheUserMovesToAnotherControl)
{
    form->Text1->setFocus();
    form->Text1->clear();
    QTimer::singleShot(0, [] {
        if (QWidget* menu = QApplication::activePopupWidget())
            QTest::keyClick(menu, Qt::Key_Escape);
    });
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), form->Text1->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form->Text1, &rightClick);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    fixture.ShowActive();
    form->Text1->setFocus();
    EXPECT_EQ(form->Text1->text(), QString());
    QTest::keyClicks(form->Text1, QStringLiteral("3"));
    EXPECT_EQ(form->Text1->text(), QStringLiteral("3"));

    // A real click on a button moves on.
    form->Text1->clear();
    QTest::mouseClick(form->PushButton14, Qt::LeftButton);
    EXPECT_TRUE(form->PushButton14->hasFocus());
    EXPECT_EQ(form->Text1->text(), QStringLiteral("1"));
}

TEST_F(NumberOfFiles, TypingAloneChangesNothing)
{
    form->Text1->setFocus();
    form->Text1->selectAll();
    QTest::keyClick(form->Text1, Qt::Key_0);
    EXPECT_EQ(form->Text1->text(), QStringLiteral("0"));
}

TEST_F(Pointer, FocusStartsInTheDestinationListAndTabFollowsTheWindowOrder)
{
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, form->ListView2);
    QStringList order{focused->objectName()};
    for (int step = 0; step < 22; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    const QStringList expected{
        "ListView2",    "ListView3",    "ListView1",    "PushButton8",  "PushButton6",  "PushButton1",
        "PushButton4",  "PushButton3",  "PushButton5",  "PushButton10", "PushButton7",  "PushButton12",
        "PushButton9",  "PushButton2",  "Text1",        "Check11",      "PushButton11", "PushButton13",
        "PushButton14", "PushButton15", "PushButton16", "Text4",        "ListView2"};
    EXPECT_EQ(order, expected);
}

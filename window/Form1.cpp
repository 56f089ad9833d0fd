#include "window/Form1.h"

#include "copyrun/DeviceFlush.h"
#include "core/ApplicationTitle.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/NumericValue.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "core/Skin.h"
#include "core/SummaryText.h"
#include "platform/FileSystem.h"
#include "refill/RefillRun.h"
#include "window/PointerImage.h"
#include "window/SummaryBox.h"
#include "window/TextProgressBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>

#include <cstdio>

namespace {

const QString kProductName = QStringLiteral("Quorvex");
const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.");
constexpr int kClientWidthTwips = 15960;
constexpr int kClientHeightTwips = 6315;
constexpr int kColumnWidthTwips = 7000;
constexpr int kTwipsPerInch = 1440;

QTreeView* CreateListView(QWidget* parent, RowListModel* rows, const QString& name)
{
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setModel(rows);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->header()->setStretchLastSection(false);
    view->setToolTip(kListToolTip);
    return view;
}

QPushButton* CreateButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QGroupBox* CreateFrame(QWidget* parent, const QString& name, const QString& caption)
{
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    return frame;
}

} // namespace

Form1::Form1(Dialogs& dialogs, RandomSource& random, QString appFolder, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), random_(random), appFolder_(std::move(appFolder)),
      systemFlusher_(std::make_unique<SystemFlusher>()), flusher_(systemFlusher_.get()), refillReport_(dialogs)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    SetFonts();
    PlaceControls();
    SetDesignBackgrounds(Qt::white);
    SetTabOrder();
    WatchEvents();
    Form_Load();

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    ListView2->setFocus();
}

Form1::~Form1() = default;

void Form1::CreateControls()
{
    SourceList = new RowListModel(QStringLiteral("1. Source Folder(s)"), this);
    DestinationList = new RowListModel(QStringLiteral("2. Destination Folder(s):"), this);
    CopyList = new RowListModel(QStringLiteral("Random Copy List"), this);

    ListView1 = CreateListView(this, SourceList, QStringLiteral("ListView1"));
    PushButton8 = CreateButton(this, QStringLiteral("PushButton8"), QStringLiteral("Add Folder(s)"));
    PushButton6 = CreateButton(this, QStringLiteral("PushButton6"), QStringLiteral("Add All Subfolders In Folder"));
    PushButton1 = CreateButton(this, QStringLiteral("PushButton1"), QStringLiteral("Load List Of Folders From File"));
    PushButton4 = CreateButton(this, QStringLiteral("PushButton4"), QStringLiteral("Clear List"));
    PushButton15 = CreateButton(this, QStringLiteral("PushButton15"), QStringLiteral("Help"));
    PushButton16 = CreateButton(this, QStringLiteral("PushButton16"), QStringLiteral("Load Sample/Example Files"));
    ListView2 = CreateListView(this, DestinationList, QStringLiteral("ListView2"));
    PushButton3 = CreateButton(this, QStringLiteral("PushButton3"), QStringLiteral("Add Folder(s)"));
    PushButton5 = CreateButton(this, QStringLiteral("PushButton5"), QStringLiteral("Add All Subfolders In Folder"));
    PushButton10 = CreateButton(this, QStringLiteral("PushButton10"), QStringLiteral("Load List Of Folders From File"));
    PushButton7 = CreateButton(this, QStringLiteral("PushButton7"), QStringLiteral("Clear List"));

    Frame2 = CreateFrame(this, QStringLiteral("Frame2"), QStringLiteral("Duplicate Options"));
    Check11 = new QCheckBox(QStringLiteral("Allow same file to be copied more than once"), Frame2);
    Check11->setObjectName(QStringLiteral("Check11"));

    Frame1 = CreateFrame(this, QStringLiteral("Frame1"), QStringLiteral("Number Of Files To Copy From Source To Destination"));
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    PushButton12 = CreateButton(this, QStringLiteral("PushButton12"), QStringLiteral("3. Start Generating List"));

    Frame4 = CreateFrame(this, QStringLiteral("Frame4"), QStringLiteral("Summary/Preview Before Copying"));
    Summary = new SummaryText(this);
    Text4 = new SummaryBox(Summary, Frame4);
    Text4->setObjectName(QStringLiteral("Text4"));

    PushButton11 = CreateButton(this, QStringLiteral("PushButton11"), QStringLiteral("Remove Filenames Containing X"));
    PushButton13 = CreateButton(this, QStringLiteral("PushButton13"), QStringLiteral("Remove Filenames Not Cont. X"));
    PushButton9 = CreateButton(this, QStringLiteral("PushButton9"), QStringLiteral("Clear List"));
    PushButton14 = CreateButton(this, QStringLiteral("PushButton14"), QStringLiteral("Help"));
    PushButton2 = CreateButton(this, QStringLiteral("PushButton2"), QStringLiteral("4. Start Copying Files"));

    ProgressBar1 = new TextProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->SetText(kIdleProgressText);

    ListView3 = CreateListView(this, CopyList, QStringLiteral("ListView3"));

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
    connect(PushButton12, &QPushButton::clicked, this, &Form1::PushButton12_Click);
    connect(PushButton13, &QPushButton::clicked, this, &Form1::PushButton13_Click);
    connect(PushButton14, &QPushButton::clicked, this, &Form1::PushButton14_Click);
    connect(PushButton15, &QPushButton::clicked, this, &Form1::PushButton15_Click);
    connect(PushButton16, &QPushButton::clicked, this, &Form1::PushButton16_Click);
    connect(Check11, &QCheckBox::clicked, this, &Form1::Check11_Click);
}

int Form1::TwipsToPixelsX(int twips) const { return qRound(twips * logicalDpiX() / double(kTwipsPerInch)); }

int Form1::TwipsToPixelsY(int twips) const { return qRound(twips * logicalDpiY() / double(kTwipsPerInch)); }

void Form1::PlaceControls()
{
    const auto place = [this](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
                             TwipsToPixelsY(height));
    };
    setFixedSize(TwipsToPixelsX(kClientWidthTwips), TwipsToPixelsY(kClientHeightTwips));

    place(ListView1, 120, 120, 7800, 1785);
    place(PushButton8, 120, 1990, 3840, 405);
    place(PushButton6, 4080, 1990, 3840, 405);
    place(PushButton1, 120, 2500, 3840, 405);
    place(PushButton4, 4080, 2500, 3840, 405);
    place(PushButton15, 120, 3010, 3840, 405);
    place(PushButton16, 4080, 3015, 3840, 405);
    place(ListView2, 120, 3510, 7800, 1695);
    place(PushButton3, 120, 5290, 3840, 405);
    place(PushButton5, 4080, 5290, 3840, 405);
    place(PushButton10, 120, 5800, 3840, 405);
    place(PushButton7, 4080, 5800, 3840, 405);
    // The duplicates option and the copy list lie below the client area: they
    // work as usual, and the user sees the copy list through its summary.
    place(Frame2, 240, 6480, 7440, 720);
    place(Check11, 240, 300, 4095, 255);
    place(Frame1, 8040, 30, 7800, 800);
    place(Text1, 240, 300, 7335, 330);
    place(PushButton12, 8040, 930, 7800, 405);
    place(Frame4, 8040, 1390, 7800, 2780);
    place(Text4, 240, 260, 7300, 2400);
    place(PushButton11, 8040, 4270, 3840, 405);
    place(PushButton13, 12000, 4270, 3840, 405);
    place(PushButton9, 8040, 4780, 3840, 405);
    place(PushButton14, 12000, 4780, 3840, 405);
    place(PushButton2, 8040, 5290, 7800, 405);
    place(ProgressBar1, 8040, 5800, 7800, 405);
    place(ListView3, 8040, 7170, 7800, 2745);
}

void Form1::SetFonts()
{
    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPointSizeF(9);
    windowFont.setBold(true);
    setFont(windowFont);

    QFont buttonFont = windowFont;
    buttonFont.setPointSizeF(11.25);
    for (QPushButton* button : PushButtons())
        button->setFont(buttonFont);
}

QList<QPushButton*> Form1::PushButtons() const
{
    return {PushButton1,  PushButton2,  PushButton3,  PushButton4,  PushButton5,  PushButton6,
            PushButton7,  PushButton8,  PushButton9,  PushButton10, PushButton11, PushButton12,
            PushButton13, PushButton14, PushButton15, PushButton16};
}

void Form1::SetTabOrder()
{
    // Frames and the progress bar take no focus and are passed over.
    const QList<QWidget*> order = {ListView2,    ListView3,    ListView1,    PushButton8,  PushButton6,
                                   PushButton1,  PushButton4,  PushButton3,  PushButton5,  PushButton10,
                                   PushButton7,  PushButton12, PushButton9,  PushButton2,  Text1,
                                   Check11,      PushButton11, PushButton13, PushButton14, PushButton15,
                                   PushButton16, Text4};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form1::WatchEvents()
{
    setMouseTracking(true);
    const auto watch = [this](QWidget* widget) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    };
    for (QPushButton* button : PushButtons())
        watch(button);
    for (QWidget* control : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                             static_cast<QWidget*>(Frame4), static_cast<QWidget*>(Text1),
                             static_cast<QWidget*>(Check11), static_cast<QWidget*>(ProgressBar1)})
        watch(control);
    watch(Text4->viewport());
    for (QTreeView* view : {ListView1, ListView2, ListView3}) {
        view->installEventFilter(this);
        watch(view->viewport());
    }
    ListView1->setAcceptDrops(true);
    ListView1->viewport()->setAcceptDrops(true);
}

void Form1::SetDesignBackgrounds(const QColor& colour)
{
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1),
                            static_cast<QWidget*>(Frame2), static_cast<QWidget*>(Frame4),
                            static_cast<QWidget*>(Check11)}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
}

void Form1::Form_Load()
{
    ErrorReport report(dialogs_, ProcedureLabels::FormLoad());
    report.Step(100, [&] { ApplySkin(); });
    report.Step(102, [&] { setWindowTitle(kProductName); });
    report.Step(104, [&] { setWindowIcon(ApplicationIcon()); });
    report.Step(106, [&] { SetApplicationTitle(kProductName); });
    const QString handPointer = appFolder_ + NativeSeparator() + QStringLiteral("HAND-M.CUR");
    if (report.Test(108, [&] { return PathExists(handPointer); }))
        report.Step(110, [&] { LoadCustomPointer(handPointer); });
    report.Step(112, [&] { random_.Seed(SecondsSinceMidnight()); });
    report.Step(114, [&] { Text1->setText(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100"))); });
    const int columnWidth = TwipsToPixelsX(kColumnWidthTwips);
    report.Step(116, [&] { ListView1->setColumnWidth(0, columnWidth); });
    report.Step(118, [&] { ListView2->setColumnWidth(0, columnWidth); });
    report.Step(120, [&] { ListView3->setColumnWidth(0, columnWidth); });
    report.Step(122, [&] { LoadRefillChoices(); });
}

void Form1::ApplySkin()
{
    const QString sheetPath = SkinPath(appFolder_);
    if (!IsSkinPresent(sheetPath))
        return;
    SetDesignBackgrounds(QApplication::palette().color(QPalette::Button));
    setStyleSheet(ReadSkin(sheetPath));
    skinApplied_ = true;
}

void Form1::LoadCustomPointer(const QString& path)
{
    handCursor_ = LoadPointerImage(path);
    ShowPointer();
}

void Form1::SetMousePointer(int pointer)
{
    mousePointer_ = pointer;
    ShowPointer();
}

void Form1::BeginBusy()
{
    ++busyDepth_;
    SetMousePointer(kBusyPointer);
}

void Form1::EndBusy()
{
    if (busyDepth_ > 0)
        --busyDepth_;
    SetMousePointer(busyDepth_ > 0 ? kBusyPointer : kDefaultPointer);
}

void Form1::ShowPointer()
{
    switch (mousePointer_) {
    case kBusyPointer:
        setCursor(Qt::WaitCursor);
        break;
    case kCustomPointer:
        setCursor(handCursor_.value_or(QCursor(Qt::ArrowCursor)));
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
    // The number box, where the user types, keeps the text pointer, except
    // that the hourglass of a running command shows over it too. The summary
    // cannot be typed in or selected: it shows the window's pointer.
    Text1->setCursor(mousePointer_ == kBusyPointer ? QCursor(Qt::WaitCursor) : QCursor(Qt::IBeamCursor));
}

void Form1::PushButton_MouseMove()
{
    if (!IsBusy())
        SetMousePointer(kCustomPointer);
}

void Form1::Control_MouseMove()
{
    if (!IsBusy())
        SetMousePointer(kDefaultPointer);
}

void Form1::Text1_Validate()
{
    if (NumericValue(Text1->text()) == 0.0)
        Text1->setText(QStringLiteral("1"));
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing ends the program at once, also in the middle of a command that
    // is letting window events run: what it has done so far stays done, a
    // copy half made is removed, and nothing is saved.
    if (IsInsideCommandYield()) {
        platform::RemoveUnfinishedCopies();
        std::fflush(nullptr);
        platform::EndProcessNow();
    }
    QWidget::closeEvent(event);
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    // Moves that controls pass on to the window are not over the background.
    if (childAt(event->position().toPoint()) == nullptr)
        Control_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // The source list has its own pointer handling while rows are dragged.
    if (watched == ListView1->viewport() && HandleSourceListEvent(event))
        return true;
    if (event->type() == QEvent::MouseMove)
        return HandleHover(watched, static_cast<QMouseEvent*>(event));
    if (event->type() == QEvent::FocusOut && watched == Text1 && MovesToAnotherControl(*static_cast<QFocusEvent*>(event)))
        Text1_Validate();
    if (HandleListEvent(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool Form1::MovesToAnotherControl(const QFocusEvent& event)
{
    // A popup or context menu opening, or another program taking the focus,
    // leaves the box only for a moment: the user has not moved on.
    return event.reason() != Qt::PopupFocusReason && event.reason() != Qt::ActiveWindowFocusReason;
}

bool Form1::HandleHover(QObject* watched, QMouseEvent* event)
{
    // The check box and the progress bar keep whatever pointer was last set.
    const bool keepsPointer = watched == Check11 || watched == ProgressBar1;
    if (!keepsPointer) {
        if (qobject_cast<QPushButton*>(watched))
            PushButton_MouseMove();
        else
            Control_MouseMove();
    }
    // A plain move is handled here, so that no parent sees it again; a move
    // with a button held still reaches the control (text selection, drags).
    return event->buttons() == Qt::NoButton;
}

bool Form1::HandleListEvent(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Delete)
            return false;
        if (watched == ListView1)
            ListView1_KeyDown(kDeleteKey, key->modifiers());
        else if (watched == ListView2)
            ListView2_KeyDown(kDeleteKey, key->modifiers());
        else if (watched == ListView3)
            ListView3_KeyDown(kDeleteKey, key->modifiers());
        else
            return false;
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ListView1->viewport())
            ListView1_DblClick();
        else if (watched == ListView2->viewport())
            ListView2_DblClick();
        else if (watched == ListView3->viewport())
            ListView3_DblClick();
        else
            return false;
        return true;
    }
    return false;
}

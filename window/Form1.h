#pragma once

#include "window/RefillChoices.h"
#include "window/WindowRefill.h"

#include <QCursor>
#include <QWidget>

#include <memory>
#include <optional>

class DeviceFlusher;
struct RefillOutcome;
class Dialogs;
class ErrorReport;
class RandomSource;
class RowListModel;
class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QDragMoveEvent;
class QFocusEvent;
class QLineEdit;
class QMimeData;
class QMouseEvent;
class SummaryBox;
class SummaryText;
class TextProgressBar;
class QPushButton;
class QTreeView;
class RefillRun;
class Scheduler;

// The program's one window. It owns every control; the lists own their rows.
// Handlers are named control, underscore, event, and stay thin: they read
// their controls, call the routines that do the work and write the controls.
class Form1 final : public QWidget {
    Q_OBJECT

public:
    // The window's pointer values.
    static constexpr int kDefaultPointer = 0;
    static constexpr int kBusyPointer = 11;
    static constexpr int kCustomPointer = 99;

    static constexpr int kDeleteKey = 46;

    // What generating the list, or its command line, says without folders or a number.
    static inline const QString kInputsMissingMessage = QStringLiteral(
        "You must have at least one source folder, destination folder and number of files to copy.");

    // What the progress bar shows when no copy runs.
    static inline const QString kIdleProgressText = QStringLiteral("Progress Bar");

    // appFolder is the folder that holds the program and its optional files
    // (skin, hand pointer, samples), without a closing separator.
    Form1(Dialogs& dialogs, RandomSource& random, QString appFolder, QWidget* parent = nullptr);
    ~Form1() override;

    int MousePointer() const { return mousePointer_; }
    void SetMousePointer(int pointer);
    bool IsBusy() const { return mousePointer_ == kBusyPointer; }
    // A command shows the hourglass from BeginBusy to EndBusy. A command that
    // starts inside another one's yield nests: the hourglass stays until the
    // outer command ends too.
    void BeginBusy();
    void EndBusy();
    bool HasCustomPointerImage() const { return handCursor_.has_value(); }
    bool IsSkinApplied() const { return skinApplied_; }

    // Window geometry is given in twips (1/1440 inch) and shown in pixels.
    int TwipsToPixelsX(int twips) const;
    int TwipsToPixelsY(int twips) const;

    // Start-up.
    void Form_Load();

    // Pointer feedback and the number of files.
    void PushButton_MouseMove();
    void Control_MouseMove();
    void Text1_Validate();

    // Folder lists: removal of the selected row and the clear buttons.
    void ListView1_DblClick();
    void ListView2_DblClick();
    void ListView3_DblClick();
    void ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ListView2_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ListView3_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void PushButton4_Click();
    void PushButton7_Click();
    void PushButton9_Click();

    // Drops onto the source list and moving its rows by dragging.
    void ListView1_OLEDragOver(QDragMoveEvent* event);
    void ListView1_OLEDragDrop(const QMimeData& data);
    void ListView1_MouseDown();
    void ListView1_ItemClick(int row);
    void ListView1_MouseMove(const QPoint& position, int screenY);
    void ListView1_MouseUp();
    bool Dragging = false;  // a mouse button is held over the source list
    int DraggedItem = -1;   // the source row being moved, -1 for none

    // Adding folders: one folder, a folder with its subfolders, list files.
    void PushButton8_Click();
    void PushButton3_Click();
    void PushButton6_Click();
    void PushButton5_Click();
    void PushButton1_Click();
    void PushButton10_Click();

    // A ready-made example and the help buttons.
    void PushButton16_Click();
    void PushButton14_Click();
    void PushButton15_Click();
    QString SamplesFolder() const;

    // The copy run. Its copies are flushed to their devices before "Done.";
    // tests pass a flusher of their own.
    void PushButton2_Click();
    void UseDeviceFlusher(DeviceFlusher& flusher) { flusher_ = &flusher; }

    // The Refill menu of the frame around the window.
    void mnuRefillSettings_Click();
    void mnuCopyCommandLine_Click();
    void mnuSchedule_Click();
    // The scheduler "Schedule..." registers with; by default the system's.
    void UseScheduler(Scheduler& scheduler) { scheduler_ = &scheduler; }
    const RefillChoices& Refill() const { return refillChoices_; }
    // The program that Copy Command Line names (by default, this one).
    void SetCommandProgram(const QString& program) { commandProgram_ = program; }

    // The copy list: rebuild, generate, duplicates option and filters.
    void CorrelateListviewsWrapper();
    void PushButton12_Click();
    void Check11_Click();
    void PushButton11_Click();
    void PushButton13_Click();

    // The controls, by their names in the window's layout.
    RowListModel* SourceList = nullptr;
    RowListModel* DestinationList = nullptr;
    RowListModel* CopyList = nullptr;
    QTreeView* ListView1 = nullptr;
    QTreeView* ListView2 = nullptr;
    QTreeView* ListView3 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton10 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QPushButton* PushButton13 = nullptr;
    QPushButton* PushButton14 = nullptr;
    QPushButton* PushButton15 = nullptr;
    QPushButton* PushButton16 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QCheckBox* Check11 = nullptr;
    QLineEdit* Text1 = nullptr;
    SummaryBox* Text4 = nullptr;
    SummaryText* Summary = nullptr; // what Text4 shows
    TextProgressBar* ProgressBar1 = nullptr;

    QList<QPushButton*> PushButtons() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void PlaceControls();
    void SetFonts();
    void SetTabOrder();
    void WatchEvents();
    void SetDesignBackgrounds(const QColor& colour);
    void ApplySkin();
    void LoadCustomPointer(const QString& path);
    void ShowPointer();
    void AddFolder(int buttonNumber, RowListModel& list);
    void AddFolderWithSubfolders(int buttonNumber, RowListModel& list);
    void LoadFoldersFromFiles(int buttonNumber, RowListModel& list);
    void ShowHelp(int buttonNumber);
    bool InputsReady() const;
    // Rebuilds the copy list under the hourglass, in three of the caller's
    // steps from firstStep on.
    void RebuildWithBusyPointer(ErrorReport& report, int firstStep);
    void FilterCopyList(int buttonNumber, const QString& prompt,
                        void (*filter)(RowListModel&, const QString&, SummaryText&, Dialogs&));
    // With a refill setting ticked, the rebuild runs as a refill; the
    // Refill menu's command line is made from the lists and the choices.
    void LoadRefillChoices();
    RefillCommandLine CommandLineOfLists(const QString& program, const QString& listFileStem = QStringLiteral("command"));
    void RefillRebuild(ErrorReport& report);
    // "4.": the copy list carried out, plain or as the refill "3." drew,
    // and the closing messages of how it went.
    void CarryOutCopyList(ErrorReport& report);
    void ShowCopyOutcome(const RefillOutcome& outcome, bool plainCopyList, ErrorReport& report);
    static bool MovesToAnotherControl(const QFocusEvent& event);
    bool HandleHover(QObject* watched, QMouseEvent* event);
    bool HandleListEvent(QObject* watched, QEvent* event);
    bool HandleSourceListEvent(QEvent* event);

    Dialogs& dialogs_;
    RandomSource& random_;
    QString appFolder_;
    int mousePointer_ = kDefaultPointer;
    int busyDepth_ = 0;
    bool copyRunning_ = false;
    std::unique_ptr<DeviceFlusher> systemFlusher_;
    DeviceFlusher* flusher_ = nullptr;
    RefillChoices refillChoices_;
    QString commandProgram_;
    Scheduler* scheduler_ = nullptr;
    WindowRefillReport refillReport_;
    std::unique_ptr<RefillRun> refillPlan_; // the plan "3." drew as a refill
    std::optional<QCursor> handCursor_;
    std::optional<QCursor> dragCursor_;
    bool skinApplied_ = false;
};

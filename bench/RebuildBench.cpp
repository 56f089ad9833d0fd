// Rebuilding the copy list on a shown window (offscreen), beside the bare
// cost of formatting the same number of row texts.
//
//   bench_rebuild ROOT   (ROOT holds the folders, each holding the files)

#include "BenchSupport.h"

#include "core/RowListModel.h"
#include "randomlist/CorrelateListviews.h"
#include "randomlist/RandomFileList.h"
#include "window/Form1.h"
#include "window/SummaryBox.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTreeView>

#include <cstdio>

namespace {

constexpr int kNumberOfFiles = 100000;
constexpr int kRuns = 3;
const QStringList kDestinations = {QStringLiteral("/tmp/quorvex-bench/rebuild-dest-a"),
                                   QStringLiteral("/tmp/quorvex-bench/rebuild-dest-b")};

// Counts the paints of a widget, to tell that a rebuild was really shown.
class PaintCounter final : public QObject {
public:
    using QObject::QObject;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Phases {
    double rebuild = 0; // CorrelateListviewsWrapper
    double shown = 0;   // the events that paint it
    double scrolled = 0; // the summary scrolled to its end and painted
    double Total() const { return rebuild + shown + scrolled; }
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Keeps the user's own settings out of the run.
    QStandardPaths::setTestModeEnabled(true);

    const QString root = QString::fromLocal8Bit(argv[1]);
    QuietDialogs dialogs;
    ProcessRandom random;
    Form1 window(dialogs, random, QStringLiteral(QUORVEX_INSTALLED_DIR));
    window.SourceList->Append(SubFolders(root));
    window.DestinationList->Append(kDestinations);
    window.Text1->setText(QString::number(kNumberOfFiles));
    window.show();
    QApplication::processEvents();

    PaintCounter copyListPaints;
    PaintCounter summaryPaints;
    window.ListView3->viewport()->installEventFilter(&copyListPaints);
    window.Text4->viewport()->installEventFilter(&summaryPaints);

    const auto expectedRows = static_cast<int>(kNumberOfFiles * kDestinations.size());
    bool rowsRight = true;
    Phases best;
    for (int run = 0; run < kRuns; ++run) {
        Phases phases;
        phases.rebuild = Seconds([&] { window.CorrelateListviewsWrapper(); });
        phases.shown = Seconds([] { QApplication::processEvents(); });
        phases.scrolled = Seconds([&] {
            QScrollBar* bar = window.Text4->verticalScrollBar();
            bar->setValue(bar->maximum());
            QApplication::processEvents();
        });
        rowsRight = rowsRight && window.CopyList->Count() == expectedRows;
        if (run == 0 || phases.Total() < best.Total())
            best = phases;
    }

    // The same number of row texts, formatted in a plain loop.
    SelectionRequest request;
    request.sourceRows = window.SourceList->Rows();
    request.numberOfFiles = kNumberOfFiles;
    Selection selection = randomFileList(request, random, dialogs);
    QStringList sources;
    QStringList names;
    for (const SelectionEntry& entry : selection) {
        sources.append(entry.path);
        names.append(entry.path.mid(entry.path.lastIndexOf(u'/') + 1));
    }
    QStringList folders;
    for (const QString& destination : kDestinations)
        folders.append(destination + u'/');
    QStringList rows;
    const double peer = BestOf(kRuns, [&] {
        rows = QStringList();
        rows.reserve(sources.size() * folders.size());
        for (qsizetype i = 0; i < sources.size(); ++i) {
            for (const QString& folder : folders)
                rows.append(sources[i] + kWillBeCopiedTo + folder + names[i]);
        }
    });

    std::printf("best rebuild %.3fs: CorrelateListviewsWrapper %.3fs, shown %.3fs, summary scrolled to end %.3fs\n",
                best.Total(), best.rebuild, best.shown, best.scrolled);
    // The copy list view may lie outside the window's client area, where it
    // has nothing to paint; it must paint whenever any of it is in view.
    const bool copyListInView = !window.ListView3->visibleRegion().isEmpty();
    std::printf("paints over %d runs: copy list %d (%s), summary %d\n", kRuns, copyListPaints.paints,
                copyListInView ? "in view" : "outside the client area", summaryPaints.paints);
    std::printf("copy list rows: %d (expected %d); plain loop rows: %lld\n", window.CopyList->Count(), expectedRows,
                static_cast<long long>(rows.size()));
    std::printf("peak memory: %.1f MB\n", PeakMemoryMb());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (!rowsRight || rows.size() != expectedRows || (copyListInView && copyListPaints.paints < kRuns) || summaryPaints.paints < kRuns) {
        std::printf("the rebuild was not complete or not shown\n");
        return 1;
    }
    PrintResult("rebuild", best.Total(), peer);
    return 0;
}

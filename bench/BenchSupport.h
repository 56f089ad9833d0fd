#pragma once

#include "core/Dialogs.h"
#include "core/RandomSource.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// Dialogs that never block: every message is kept so the run can tell that
// something went wrong instead of timing an error path.
class QuietDialogs final : public Dialogs {
public:
    bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString BrowseForFolder(const QString& title, const QString& startFolder) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    void OpenInFileBrowser(const QString& folder) override;

    QStringList shown;
};

// Replays fixed values, so two implementations can be fed the same draw.
class ReplayRandom final : public RandomSource {
public:
    explicit ReplayRandom(std::vector<float> values) : values_(std::move(values)) {}
    void Seed(std::uint32_t) override {}
    float Next() override;
    void Rewind() { next_ = 0; }

private:
    std::vector<float> values_;
    std::size_t next_ = 0;
};

// Times the gaps in which no window event could run: from start to the first
// yield, between yields, and from the last yield to the end.
class YieldGaps {
public:
    YieldGaps()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Mark(); });
    }

    void Start()
    {
        yields_ = 0;
        longestNs_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }

    void Stop()
    {
        timer_.stop();
        Mark();
        --yields_; // the end is no yield
    }

    double LongestMs() const { return longestNs_ / 1e6; }
    long Yields() const { return yields_; }

private:
    void Mark()
    {
        const qint64 now = clock_.nsecsElapsed();
        longestNs_ = std::max(longestNs_, now - last_);
        last_ = now;
        ++yields_;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longestNs_ = 0;
    long yields_ = 0;
};

// count values uniform in [0, 1), the same for the same seed.
std::vector<float> UniformValues(std::size_t count, std::uint32_t seed);

template <class Body>
double Seconds(Body&& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The quickest of several runs: the one least disturbed by other load.
template <class Body>
double BestOf(int runs, Body&& body)
{
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const double seconds = Seconds(body);
        if (seconds < best)
            best = seconds;
    }
    return best;
}

// The process's peak resident memory (VmHWM), in megabytes; -1 if unknown.
double PeakMemoryMb();

// The sub-folders of root, sorted by name, as full paths.
QStringList SubFolders(const QString& root);

// Prints any dialog text shown and returns true when there was none.
bool NoDialogsShown(const QuietDialogs& dialogs);

// Runs a peer's shell command; says so on stderr and returns false when it fails.
bool RunShellPeer(const std::string& command);

// The closing line: "NAME ratio=R ours=Xs peer=Ys".
void PrintResult(const char* name, double ours, double peer);

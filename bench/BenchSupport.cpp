#include "BenchSupport.h"

#include <QDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

bool QuietDialogs::MessageBox(const QString& text, const QString&, Icon, Buttons buttons)
{
    shown.append(text);
    // Decline every question: a benchmark must not confirm anything.
    return buttons == Buttons::Ok;
}

QString QuietDialogs::InputBox(const QString& prompt, const QString&, const QString&)
{
    shown.append(prompt);
    return {};
}

QString QuietDialogs::BrowseForFolder(const QString& title, const QString&)
{
    shown.append(title);
    return {};
}

QStringList QuietDialogs::OpenFiles(const QString& title, const QString&)
{
    shown.append(title);
    return {};
}

void QuietDialogs::OpenInFileBrowser(const QString& folder) { shown.append(folder); }

float ReplayRandom::Next()
{
    if (next_ == values_.size()) {
        std::fprintf(stderr, "ReplayRandom: ran out of values after %zu\n", values_.size());
        std::exit(3);
    }
    return values_[next_++];
}

std::vector<float> UniformValues(std::size_t count, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    std::vector<float> values(count);
    for (float& value : values) {
        value = uniform(engine);
        // The distribution may round up to 1 in single precision.
        if (value >= 1.0f)
            value = std::nextafter(1.0f, 0.0f);
    }
    return values;
}

double PeakMemoryMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0; // the line is in kB
    }
    return -1;
}

QStringList SubFolders(const QString& root)
{
    QStringList folders;
    const QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        folders.append(dir.filePath(name));
    return folders;
}

bool NoDialogsShown(const QuietDialogs& dialogs)
{
    for (const QString& text : dialogs.shown)
        std::printf("dialog shown: %s\n", qPrintable(text));
    if (!dialogs.shown.isEmpty())
        std::printf("%lld dialog(s) shown: the timings are not valid\n", static_cast<long long>(dialogs.shown.size()));
    return dialogs.shown.isEmpty();
}

namespace {

// At least three significant digits, never in exponent form.
std::string Ratio(double ratio)
{
    int decimals = 3;
    if (ratio > 0 && ratio < 1)
        decimals = std::max(3, 2 - static_cast<int>(std::floor(std::log10(ratio))));
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, ratio);
    return text;
}

} // namespace

void PrintResult(const char* name, double ours, double peer)
{
    std::printf("%s ratio=%s ours=%.3fs peer=%.3fs\n", name, Ratio(ours / peer).c_str(), ours, peer);
    std::fflush(stdout);
}

bool RunShellPeer(const std::string& command)
{
    const int status = std::system(command.c_str());
    if (status != 0)
        std::fprintf(stderr, "peer failed (status %d): %s\n", status, command.c_str());
    return status == 0;
}

// Listing the source folders and drawing from them, beside find | shuf on the
// same tree.
//
//   bench_selection ROOT   (ROOT holds the folders, each holding the files)

#include "BenchSupport.h"

#include "randomlist/RandomFileList.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr double kNumberOfFiles = 100000;
constexpr int kRuns = 3;

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const std::string peerCommand = "find " + ShellQuoted(argv[1]) + " -maxdepth 2 -type f | shuf -n "
        + std::to_string(static_cast<long>(kNumberOfFiles)) + " > /dev/null";

    SelectionRequest request;
    request.sourceRows = SubFolders(root);
    request.numberOfFiles = kNumberOfFiles;
    request.allowRepeats = false;
    std::printf("%lld source folders under %s, %.0f files drawn\n",
                static_cast<long long>(request.sourceRows.size()), argv[1], kNumberOfFiles);

    auto runPeer = [&] { RunShellPeer(peerCommand); };
    if (!RunShellPeer(peerCommand)) // warms the cache for both sides
        return 1;

    QuietDialogs dialogs;
    ProcessRandom random;
    random.Seed(1);
    std::size_t drawn = 0;
    const double ours = BestOf(kRuns, [&] { drawn = randomFileList(request, random, dialogs).size(); });
    const double peer = BestOf(kRuns, runPeer);

    std::printf("ours: %zu files drawn; peer: %s\n", drawn, peerCommand.c_str());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (drawn != static_cast<std::size_t>(kNumberOfFiles)) {
        std::printf("expected %.0f files drawn\n", kNumberOfFiles);
        return 1;
    }
    PrintResult("selection", ours, peer);
    return 0;
}

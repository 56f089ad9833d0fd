#include "folders/ListFileSelection.h"

#include "core/PathHelpers.h"
#include "folders/PathText.h"

namespace {

// The file chooser hands back at most this many characters: the folder and
// every name, each followed by a terminating character, and a final one.
constexpr qsizetype kFileSelectionCapacity = 30000;

} // namespace

const QString kTooManyFilesMessage =
    QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");

bool SelectionFitsDialog(const QStringList& chosenFiles)
{
    if (chosenFiles.isEmpty())
        return true;
    qsizetype length = 0;
    if (chosenFiles.size() == 1) {
        length = chosenFiles.front().size() + 1;
    } else {
        // The folder, then each bare name, NUL after each, and a closing NUL.
        length = FolderOf(chosenFiles.front()).size() + 1;
        for (const QString& file : chosenFiles)
            length += FileNameOf(file).size() + 1;
        length += 1;
    }
    return length <= kFileSelectionCapacity;
}

QStringList PathsToLoad(const QStringList& chosenFiles)
{
    if (chosenFiles.size() <= 1)
        return chosenFiles;
    QStringList paths;
    for (const QString& file : chosenFiles) {
        QString folder = FolderOf(file);
        folder.chop(1);
        paths.append(CollapseBackslashes(folder + NativeSeparator()) + FileNameOf(file));
    }
    return paths;
}

QString BadCharactersMessage(const QString& path)
{
    return path + QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

#pragma once

#include <QString>
#include <QStringList>

extern const QString kTooManyFilesMessage;

// True when the chosen files fit the chooser's capacity.
bool SelectionFitsDialog(const QStringList& chosenFiles);

// The paths to load for the chosen files, in the chooser's order. A single
// file is taken as it is; several files are joined to their folder with the
// folder normalised, so a drive root gives a single separator.
QStringList PathsToLoad(const QStringList& chosenFiles);

// The message for a chosen file whose name cannot be used.
QString BadCharactersMessage(const QString& path);

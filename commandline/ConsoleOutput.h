#pragma once

#include "core/Dialogs.h"
#include "refill/RefillProblem.h"
#include "refill/RefillRun.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// What the command line writes: messages on standard error, each line
// starting "quorvex: ", and on a terminal one progress line.

// Writes a message, one line of it at a time.
void PrintMessage(const QString& text);

// Keeps every message from now on in into as well, and calls
// interruptedEnd when an interrupt ends the run while it copies; nullptr
// for both stops it.
void KeepMessages(QStringList* into, void (*interruptedEnd)());

// Writes bytes on standard output; false when they could not all be written.
bool PrintOut(const QByteArray& bytes);

// Reads standard input to its end, but no more than most bytes, as they
// are (on Windows too, where a pipe's end is no error); empty with error
// set when it cannot be read.
QByteArray ReadStandardInput(qint64 most, QString& error);

// The run's own messages, as lines on standard error. Questions are
// answered No; nothing else is asked on the command line. A failed step
// says its description alone, never the window's error report, and fails
// the run.
class ConsoleDialogs final : public Dialogs {
public:
    bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void ErrorReportBox(const QString& description, const QString& reportText) override;
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
    QString BrowseForFolder(const QString&, const QString&) override { return {}; }
    QStringList OpenFiles(const QString&, const QString&) override { return {}; }
    void OpenInFileBrowser(const QString&) override {}

    // How many of the steps failed.
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

// The refill's problems, one line each: "dest: /media/stick/: in use by
// another run (pid 4242)", "source: /music/gone/: no such folder". Quiet
// leaves out the notes (a source without files, or left out for being a
// destination).
class ConsoleReport final : public RefillReport {
public:
    // wholeFolders: the draw counts folders.
    ConsoleReport(bool quiet, bool wholeFolders) : quiet_(quiet), wholeFolders_(wholeFolders) {}
    void Tell(const RefillProblem& problem) override;

private:
    bool quiet_;
    bool wholeFolders_;
};

// Follows a copy run: on a terminal, one line with the files done of all,
// the bytes, the rate and the time left, redrawn at most 10 times a second.
// Before each row and between the pieces of a large file it also asks
// whether the user has interrupted the run.
class ConsoleProgress final : public RefillProgress {
public:
    // verbose: each copied file's destination on standard output.
    ConsoleProgress(const QList<CopyRow>& rows, bool show, bool verbose);

    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override;
    void CopyProgressing(std::uint64_t copiedBytes) override;
    void RowCopied(const QString& written) override;
    // One line: "quorvex: /media/stick/f09.bin: No space left on device
    // (from /srv/music/f09.bin)".
    void RowFailed(const CopyRow& row, const QString& rowText, const CopyOutcome& outcome) override;
    // An interrupt waits for the next row or piece while the rows are copied.
    void RowsBegin() override;
    void RowsEnd() override;
    void Flushing(const FlushGroup& group) override;
    void ReadingBack() override;
    // Ends the line, if one was drawn.
    void CopiesInPlace() override;
    // False when a verbose line could not be written.
    bool Written() const { return written_; }
    // The verbose lines of copies told only once read back: one for each.
    void ListCopies(const QStringList& written);

private:
    void Draw();
    void Show(const QString& line);
    // Takes the progress line away, so that a line can be written beneath it.
    void ClearLine();

    bool show_;
    bool verbose_;
    bool written_ = true;
    std::vector<std::uint64_t> bytesBefore_; // of the rows before each row, and of all at the end
    int rowCount_ = 0;
    int current_ = 0;
    std::uint64_t currentCopied_ = 0;
    QElapsedTimer sinceStart_;
    qint64 lastDrawn_ = -1;
    bool drawn_ = false;
};

// While a run copies, an interrupt (Ctrl+C, SIGTERM) waits for the next
// row or piece, removes the half-made copy and ends the program with 130.
// At any other time it ends the program at once.
void HandleInterrupts();

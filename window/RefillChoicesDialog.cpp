#include "window/RefillChoicesDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kBalanceLeftOut =
    QStringLiteral("Whole folders are drawn each once, whatever their size, so a fair share from each folder does "
                   "not apply. Untick \"Whole folders (albums)\" to choose it.");
const QString kWholeFoldersLeftOut =
    QStringLiteral("A fair share from each folder draws files, not whole folders. Untick \"A fair share from each "
                   "folder\" to choose it.");

QCheckBox* CheckBox(const QString& name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

// A line of explanation beneath a setting, indented under its caption.
QLabel* Note(const QString& text, QWidget* parent)
{
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    note->setIndent(20);
    return note;
}

} // namespace

RefillChoicesDialog::RefillChoicesDialog(const RefillChoices& choices, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Refill Settings"));
    CreateControls();
    LayOut();
    Show(choices);
    for (QCheckBox* box : {Fill, AtMost, WholeFolders, Cycle, Balance, Refresh, Numbered, Playlist, Verify, AsciiNames})
        connect(box, &QCheckBox::toggled, this, &RefillChoicesDialog::FollowTicks);
    FollowTicks();
}

void RefillChoicesDialog::CreateControls()
{
    WhatIsDrawn = new QGroupBox(QStringLiteral("What is drawn"), this);
    Fill = CheckBox(QStringLiteral("Fill"), QStringLiteral("Fill each destination to its free space"), WhatIsDrawn);
    FillNote = Note(QStringLiteral("The number of files is then no limit: as many are drawn as fit."), WhatIsDrawn);
    AtMost = CheckBox(QStringLiteral("AtMost"), QStringLiteral("At most:"), WhatIsDrawn);
    MaxSize = new QLineEdit(WhatIsDrawn);
    MaxSize->setObjectName(QStringLiteral("MaxSize"));
    MaxSize->setPlaceholderText(QStringLiteral("700M, 14.5G"));
    WholeFolders = CheckBox(QStringLiteral("WholeFolders"), QStringLiteral("Whole folders (albums)"), WhatIsDrawn);
    WholeFoldersNote = Note(QStringLiteral("The number of files then counts folders."), WhatIsDrawn);

    HowItIsDrawn = new QGroupBox(QStringLiteral("How it is drawn"), this);
    Cycle = CheckBox(QStringLiteral("Cycle"), QStringLiteral("Every file once before any repeats"), HowItIsDrawn);
    Balance = CheckBox(QStringLiteral("Balance"), QStringLiteral("A fair share from each folder"), HowItIsDrawn);

    OnEachDestination = new QGroupBox(QStringLiteral("On each destination"), this);
    Refresh = CheckBox(QStringLiteral("Refresh"), QStringLiteral("Replace the copies of the last refill"), OnEachDestination);
    RefreshNote = Note(QStringLiteral("Only files Quorvex copied, and that are unchanged since, are removed; your own "
                                      "files are never touched."),
                       OnEachDestination);
    Numbered = CheckBox(QStringLiteral("Numbered"), QStringLiteral("Numbered names in the draw's order"), OnEachDestination);
    Playlist = CheckBox(QStringLiteral("Playlist"), QStringLiteral("Write a playlist:"), OnEachDestination);
    PlaylistName = new QLineEdit(OnEachDestination);
    PlaylistName->setObjectName(QStringLiteral("PlaylistName"));
    Verify = CheckBox(QStringLiteral("Verify"), QStringLiteral("Read every copy back from the device"), OnEachDestination);
    AsciiNames = CheckBox(QStringLiteral("AsciiNames"), QStringLiteral("Plain ASCII names"), OnEachDestination);
    AsciiNames->setToolTip(QStringLiteral("For players that show nothing else: é is written e, ß ss, anything else "
                                          "beyond ASCII _."));

    Refusal = new QLabel(this);
    Refusal->setObjectName(QStringLiteral("Refusal"));
    Refusal->setWordWrap(true);
    Refusal->setStyleSheet(QStringLiteral("color: #b00000"));
    Refusal->hide();
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &RefillChoicesDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &RefillChoicesDialog::reject);
}

void RefillChoicesDialog::LayOut()
{
    auto* what = new QGridLayout(WhatIsDrawn);
    what->addWidget(Fill, 0, 0, 1, 2);
    what->addWidget(FillNote, 1, 0, 1, 2);
    what->addWidget(AtMost, 2, 0);
    what->addWidget(MaxSize, 2, 1);
    what->addWidget(WholeFolders, 3, 0, 1, 2);
    what->addWidget(WholeFoldersNote, 4, 0, 1, 2);
    what->setColumnStretch(1, 1);

    auto* how = new QVBoxLayout(HowItIsDrawn);
    how->addWidget(Cycle);
    how->addWidget(Balance);

    auto* each = new QGridLayout(OnEachDestination);
    each->addWidget(Refresh, 0, 0, 1, 2);
    each->addWidget(RefreshNote, 1, 0, 1, 2);
    each->addWidget(Numbered, 2, 0, 1, 2);
    each->addWidget(Playlist, 3, 0);
    each->addWidget(PlaylistName, 3, 1);
    each->addWidget(Verify, 4, 0, 1, 2);
    each->addWidget(AsciiNames, 5, 0, 1, 2);
    each->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WhatIsDrawn);
    layout->addWidget(HowItIsDrawn);
    layout->addWidget(OnEachDestination);
    layout->addWidget(Refusal);
    layout->addWidget(Buttons);
    // As wide as the longest caption with its box; the notes wrap within.
    for (QGroupBox* group : {WhatIsDrawn, HowItIsDrawn, OnEachDestination})
        group->setMinimumWidth(440);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void RefillChoicesDialog::Show(const RefillChoices& choices)
{
    Fill->setChecked(choices.fill);
    AtMost->setChecked(choices.atMost);
    MaxSize->setText(choices.maxSize);
    WholeFolders->setChecked(choices.wholeFolders);
    Cycle->setChecked(choices.cycle);
    Balance->setChecked(choices.balance);
    Refresh->setChecked(choices.refresh);
    Numbered->setChecked(choices.numbered);
    Playlist->setChecked(choices.playlist);
    PlaylistName->setText(choices.playlistName);
    Verify->setChecked(choices.verify);
    AsciiNames->setChecked(choices.asciiNames);
}

RefillChoices RefillChoicesDialog::Choices() const
{
    RefillChoices choices;
    choices.fill = Fill->isChecked();
    choices.atMost = AtMost->isChecked();
    choices.maxSize = MaxSize->text().trimmed();
    choices.wholeFolders = WholeFolders->isChecked();
    choices.cycle = Cycle->isChecked();
    choices.balance = Balance->isChecked();
    choices.refresh = Refresh->isChecked();
    choices.numbered = Numbered->isChecked();
    choices.playlist = Playlist->isChecked();
    choices.playlistName = PlaylistName->text().trimmed();
    choices.verify = Verify->isChecked();
    choices.asciiNames = AsciiNames->isChecked();
    return choices;
}

void RefillChoicesDialog::FollowTicks()
{
    FillNote->setEnabled(Fill->isChecked());
    MaxSize->setEnabled(AtMost->isChecked());
    WholeFoldersNote->setEnabled(WholeFolders->isChecked());
    PlaylistName->setEnabled(Playlist->isChecked());
    Balance->setEnabled(!WholeFolders->isChecked());
    Balance->setToolTip(WholeFolders->isChecked() ? kBalanceLeftOut : QString());
    WholeFolders->setEnabled(!Balance->isChecked());
    WholeFolders->setToolTip(Balance->isChecked() ? kWholeFoldersLeftOut : QString());
}

void RefillChoicesDialog::accept()
{
    const RefillChoices choices = Choices();
    // A box whose setting is not ticked is not looked at: its text is kept for later.
    QString refusal = choices.atMost ? SizeProblem(choices.maxSize) : QString();
    QLineEdit* wrong = MaxSize;
    if (refusal.isEmpty() && choices.playlist) {
        refusal = PlaylistNameProblem(choices.playlistName);
        wrong = PlaylistName;
    }
    Refusal->setText(refusal);
    Refusal->setVisible(!refusal.isEmpty());
    if (!refusal.isEmpty()) {
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    QDialog::accept();
}

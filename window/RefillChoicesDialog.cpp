#include "window/RefillChoicesDialog.h"

#include "device/ProfileLookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <variant>
#include <vector>

namespace {

const QString kBalanceLeftOut =
    QStringLiteral("Whole folders are drawn each once, whatever their size, so a fair share from each folder does "
                   "not apply. Untick \"Whole folders (albums)\" to choose it.");
const QString kWholeFoldersLeftOut =
    QStringLiteral("A fair share from each folder draws files, not whole folders. Untick \"A fair share from each "
                   "folder\" to choose it.");

const QString kAsTheDeviceSays = QStringLiteral("A destination's own .quorvex-device.ini, else every file as it is.");

QCheckBox* CheckBox(const QString& name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

// A box for a few characters, such as stars.
QLineEdit* SmallField(const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setPlaceholderText(QStringLiteral("4, 3.5"));
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000.00")) + 12);
    return field;
}

// A line of explanation beneath a setting, indented under its caption.
QLabel* Note(const QString& text, QWidget* parent)
{
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    note->setIndent(20);
    return note;
}

// A profile's summary as the dialog shows it: a sentence.
QString Sentence(const QString& text)
{
    return text.isEmpty() ? text : text.front().toUpper() + text.mid(1) + u'.';
}

void AddDevice(QComboBox* box, const QString& name, const QString& choice, const QString& note)
{
    box->addItem(name, choice);
    box->setItemData(box->count() - 1, note, Qt::ToolTipRole);
}

// What a kept choice that no listed profile answers does: a file read as
// it is, or why it cannot be had, as the refill would then refuse it.
QString KeptDeviceNote(const QString& choice)
{
    const std::variant<DeviceProfile, ProfileError> named = ProfileNamed(choice);
    if (const auto* profile = std::get_if<DeviceProfile>(&named))
        return Sentence(ProfileSummary(*profile));
    const ProfileError& error = std::get<ProfileError>(named);
    return QStringLiteral("Quorvex cannot use this choice now: %1. A refill with it draws nothing; choose another, or "
                          "put its profile back.").arg(error.file.isEmpty() ? error.reason : error.Text());
}

} // namespace

RefillChoicesDialog::RefillChoicesDialog(const RefillChoices& choices, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Refill Settings"));
    CreateControls();
    LayOut();
    Show(choices);
    for (QCheckBox* box : {Fill, AtMost, WholeFolders, Cycle, Balance, PreferRated, AtLeast, Refresh, Numbered, Playlist,
                           Verify, AsciiNames})
        connect(box, &QCheckBox::toggled, this, &RefillChoicesDialog::FollowTicks);
    FollowTicks();
    const auto sayDevice = [this] { DeviceNote->setText(Device->currentData(Qt::ToolTipRole).toString()); };
    connect(Device, &QComboBox::currentIndexChanged, this, sayDevice);
    sayDevice();
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
    PreferRated = CheckBox(QStringLiteral("PreferRated"), QStringLiteral("Prefer higher-rated files"), HowItIsDrawn);
    PreferRated->setToolTip(QStringLiteral("As the files' tags rate them: five stars are drawn about 6.9 times as "
                                           "often as one."));
    AtLeast = CheckBox(QStringLiteral("AtLeast"), QStringLiteral("At least"), HowItIsDrawn);
    AtLeast->setToolTip(QStringLiteral("Files rated lower are not drawn."));
    MinRating = SmallField(QStringLiteral("MinRating"), HowItIsDrawn);
    MinRatingStars = new QLabel(QStringLiteral("stars"), HowItIsDrawn);
    UnratedAs = SmallField(QStringLiteral("UnratedAs"), HowItIsDrawn);
    UnratedAsLabel = new QLabel(QStringLiteral("Unrated files count as"), HowItIsDrawn);
    UnratedAsLabel->setBuddy(UnratedAs);
    UnratedAsStars = new QLabel(QStringLiteral("stars"), HowItIsDrawn);

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

    DeviceGroup = new QGroupBox(QStringLiteral("Device"), this);
    Device = new QComboBox(DeviceGroup);
    Device->setObjectName(QStringLiteral("Device"));
    // A profile given by a long file's name would widen the dialog.
    Device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Device->setMinimumContentsLength(16);
    Device->setToolTip(QStringLiteral("Your own profiles are the NAME.ini files in %1.").arg(UserProfileFolder()));
    DeviceLabel = new QLabel(QStringLiteral("Device:"), DeviceGroup);
    DeviceLabel->setBuddy(Device);
    DeviceNote = new QLabel(DeviceGroup);
    DeviceNote->setObjectName(QStringLiteral("DeviceNote"));
    DeviceNote->setWordWrap(true);
    DeviceRefusals = new QLabel(DeviceGroup);
    DeviceRefusals->setObjectName(QStringLiteral("DeviceRefusals"));
    DeviceRefusals->setWordWrap(true);
    ListDevices();

    Refusal = new QLabel(this);
    Refusal->setObjectName(QStringLiteral("Refusal"));
    Refusal->setWordWrap(true);
    Refusal->setStyleSheet(QStringLiteral("color: #b00000"));
    Refusal->hide();
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &RefillChoicesDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &RefillChoicesDialog::reject);
}

// The profiles by name, each with what it does; an own profile that cannot
// be read is said beneath, or it would be missing from the list unexplained.
void RefillChoicesDialog::ListDevices()
{
    AddDevice(Device, QStringLiteral("As the device says"), QString(), kAsTheDeviceSays);
    std::vector<ProfileError> errors;
    for (const DeviceProfile& profile : AllProfiles(errors))
        AddDevice(Device, profile.name, profile.name, Sentence(ProfileSummary(profile)));
    QStringList refusals;
    for (const ProfileError& error : errors)
        refusals.append(error.Text());
    DeviceRefusals->setText(QStringLiteral("Left out, as they cannot be read:\n") + refusals.join(u'\n'));
    DeviceRefusals->setVisible(!errors.empty());
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
    how->addWidget(PreferRated);
    // Each read as a sentence: "At least [4] stars".
    for (const auto& line : {std::array<QWidget*, 3> {AtLeast, MinRating, MinRatingStars},
                             std::array<QWidget*, 3> {UnratedAsLabel, UnratedAs, UnratedAsStars}}) {
        auto* row = new QHBoxLayout;
        for (QWidget* part : line)
            row->addWidget(part);
        row->addStretch(1);
        how->addLayout(row);
    }

    auto* each = new QGridLayout(OnEachDestination);
    each->addWidget(Refresh, 0, 0, 1, 2);
    each->addWidget(RefreshNote, 1, 0, 1, 2);
    each->addWidget(Numbered, 2, 0, 1, 2);
    each->addWidget(Playlist, 3, 0);
    each->addWidget(PlaylistName, 3, 1);
    each->addWidget(Verify, 4, 0, 1, 2);
    each->addWidget(AsciiNames, 5, 0, 1, 2);
    each->setColumnStretch(1, 1);

    auto* device = new QGridLayout(DeviceGroup);
    device->addWidget(DeviceLabel, 0, 0);
    device->addWidget(Device, 0, 1);
    device->addWidget(DeviceNote, 1, 1);
    device->addWidget(DeviceRefusals, 2, 0, 1, 2);
    device->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WhatIsDrawn);
    layout->addWidget(HowItIsDrawn);
    layout->addWidget(OnEachDestination);
    layout->addWidget(DeviceGroup);
    layout->addWidget(Refusal);
    layout->addWidget(Buttons);
    // As wide as the longest caption with its box; the notes wrap within.
    for (QGroupBox* group : {WhatIsDrawn, HowItIsDrawn, OnEachDestination, DeviceGroup})
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
    PreferRated->setChecked(choices.preferRated);
    AtLeast->setChecked(choices.atLeast);
    MinRating->setText(choices.minRating);
    UnratedAs->setText(choices.unratedAs);
    Refresh->setChecked(choices.refresh);
    Numbered->setChecked(choices.numbered);
    Playlist->setChecked(choices.playlist);
    PlaylistName->setText(choices.playlistName);
    Verify->setChecked(choices.verify);
    AsciiNames->setChecked(choices.asciiNames);
    // A choice that names no profile now stays the user's, shown as it is,
    // until they choose another.
    if (Device->findData(choices.device) < 0)
        AddDevice(Device, choices.device, choices.device, KeptDeviceNote(choices.device));
    Device->setCurrentIndex(Device->findData(choices.device));
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
    choices.preferRated = PreferRated->isChecked();
    choices.atLeast = AtLeast->isChecked();
    choices.minRating = MinRating->text().trimmed();
    choices.unratedAs = UnratedAs->text().trimmed();
    choices.refresh = Refresh->isChecked();
    choices.numbered = Numbered->isChecked();
    choices.playlist = Playlist->isChecked();
    choices.playlistName = PlaylistName->text().trimmed();
    choices.verify = Verify->isChecked();
    choices.asciiNames = AsciiNames->isChecked();
    choices.device = Device->currentData().toString();
    return choices;
}

void RefillChoicesDialog::FollowTicks()
{
    FillNote->setEnabled(Fill->isChecked());
    MaxSize->setEnabled(AtMost->isChecked());
    WholeFoldersNote->setEnabled(WholeFolders->isChecked());
    PlaylistName->setEnabled(Playlist->isChecked());
    MinRating->setEnabled(AtLeast->isChecked());
    MinRatingStars->setEnabled(AtLeast->isChecked());
    // Where unrated files stand matters only to a draw by rating.
    const bool byRating = PreferRated->isChecked() || AtLeast->isChecked();
    for (QWidget* unrated : std::initializer_list<QWidget*> {UnratedAsLabel, UnratedAs, UnratedAsStars})
        unrated->setEnabled(byRating);
    Balance->setEnabled(!WholeFolders->isChecked());
    Balance->setToolTip(WholeFolders->isChecked() ? kBalanceLeftOut : QString());
    WholeFolders->setEnabled(!Balance->isChecked());
    WholeFolders->setToolTip(Balance->isChecked() ? kWholeFoldersLeftOut : QString());
}

void RefillChoicesDialog::accept()
{
    const RefillChoices choices = Choices();
    // A box whose setting is not ticked is not looked at: its text is kept
    // for later. The first box refused, in the dialog's order, is the one said.
    const std::pair<QString, QLineEdit*> problems[] = {
        {choices.atMost ? SizeProblem(choices.maxSize) : QString(), MaxSize},
        {choices.atLeast ? StarsProblem(choices.minRating) : QString(), MinRating},
        {choices.ByRating() ? StarsProblem(choices.unratedAs) : QString(), UnratedAs},
        {choices.playlist ? PlaylistNameProblem(choices.playlistName) : QString(), PlaylistName},
    };
    const auto* wrong = std::find_if(std::begin(problems), std::end(problems),
                                     [](const auto& problem) { return !problem.first.isEmpty(); });
    const bool refused = wrong != std::end(problems);
    Refusal->setText(refused ? wrong->first : QString());
    Refusal->setVisible(refused);
    if (refused) {
        wrong->second->setFocus();
        wrong->second->selectAll();
        return;
    }
    QDialog::accept();
}

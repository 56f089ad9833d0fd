#pragma once

#include "window/RefillChoices.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;

// "Refill Settings": the refill's settings, in three groups, one check box
// each, and the device profile every destination takes. Two settings the refill takes no further together grey each other
// out, with a tooltip that says why; a size, stars or a playlist's name
// that cannot be is refused at OK, with the reason, and the dialog stays.
class RefillChoicesDialog final : public QDialog {
    Q_OBJECT

public:
    explicit RefillChoicesDialog(const RefillChoices& choices, QWidget* parent = nullptr);

    // What the dialog's controls hold now.
    RefillChoices Choices() const;

    void accept() override;

    QGroupBox* WhatIsDrawn = nullptr;
    QGroupBox* HowItIsDrawn = nullptr;
    QGroupBox* OnEachDestination = nullptr;
    QCheckBox* Fill = nullptr;
    QLabel* FillNote = nullptr;
    QCheckBox* AtMost = nullptr;
    QLineEdit* MaxSize = nullptr;
    QCheckBox* WholeFolders = nullptr;
    QLabel* WholeFoldersNote = nullptr;
    QCheckBox* Cycle = nullptr;
    QCheckBox* Balance = nullptr;
    QCheckBox* PreferRated = nullptr;
    QCheckBox* AtLeast = nullptr;
    QLineEdit* MinRating = nullptr;
    QLabel* MinRatingStars = nullptr;
    QLabel* UnratedAsLabel = nullptr;
    QLineEdit* UnratedAs = nullptr;
    QLabel* UnratedAsStars = nullptr;
    QCheckBox* Refresh = nullptr;
    QLabel* RefreshNote = nullptr;
    QCheckBox* Numbered = nullptr;
    QCheckBox* Playlist = nullptr;
    QLineEdit* PlaylistName = nullptr;
    QCheckBox* Verify = nullptr;
    QCheckBox* AsciiNames = nullptr;
    QGroupBox* DeviceGroup = nullptr;
    QLabel* DeviceLabel = nullptr;
    QComboBox* Device = nullptr; // each entry's data is the profile it chooses
    QLabel* DeviceNote = nullptr;     // what the chosen profile does
    QLabel* DeviceRefusals = nullptr; // the own profiles left out, and why
    QLabel* Refusal = nullptr; // why OK was refused
    QDialogButtonBox* Buttons = nullptr;

private:
    void CreateControls();
    void ListDevices();
    void LayOut();
    void Show(const RefillChoices& choices);
    // Greys what a tick leaves out, and the boxes of unticked settings.
    void FollowTicks();
};

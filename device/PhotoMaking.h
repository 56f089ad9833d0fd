#pragma once

#include "device/DeviceProfile.h"
#include "device/Treatment.h"
#include "tags/PhotoFacts.h"

#include <QString>

// Sets the decoders' memory limit and loads Qt's image plugins on the
// calling thread. Called on the thread that sets the run up, before photos
// are fitted on the copy's workers: under Wine, a plugin first loaded by a
// worker brings the program down as that worker ends.
void ReadyPhotoDecoders();

// Writes target, a new file, as the photo source made to fit the frame:
// with RewriteTags its JPEG data as it is under a new EXIF block; with
// Convert decoded upright (scaled down as it is decoded, where it is a
// JPEG), scaled smoothly to the screen and never up, its transparency put
// over black, in 8-bit sRGB, as a baseline JPEG at the profile's quality.
// Empty when done; else why not, and target may be left for the caller to
// remove.
QString MakePhoto(const QString& source, const PhotoFacts& facts, const PhotoRules& rules, Treatment treatment,
                 const QString& target);

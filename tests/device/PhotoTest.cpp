#include "device/PhotoMaking.h"
#include "device/PhotoTreatment.h"
#include "support/DeviceNight.h"
#include "support/PhotoFixtures.h"
#include "support/RequireTools.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

namespace {

const fixtures::Rgb kRed {255, 0, 0};
const fixtures::Rgb kBlue {0, 0, 255};
const fixtures::Rgb kWhite {255, 255, 255};
const fixtures::Rgb kBlack {0, 0, 0};

DeviceProfile Frame(PhotoFit fit = PhotoFit::Inside, bool keepLocation = false)
{
    DeviceProfile frame = Profile("frame-1024x600");
    frame.photos->fit = fit;
    frame.photos->keepLocation = keepLocation;
    return frame;
}

// The test picture as the frame would show it, at size: red in the top-left
// corner, blue along the top, white below.
void ExpectUpright(const QString& path, QSize size)
{
    ASSERT_EQ(fixtures::SizeOf(path), size) << path.toStdString();
    const int w = size.width();
    const int h = size.height();
    EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(path, w / 100 + 1, h / 100 + 1), kRed)) << "red at the top left";
    EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(path, w - w / 50 - 1, h / 30), kBlue)) << "blue along the top";
    EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(path, w - w / 50 - 1, h - h / 50 - 1), kWhite)) << "white below";
}

QString Made(Night& night, const QString& source)
{
    const FileTreatments::Prepared prepared = night.Prepare(source);
    EXPECT_TRUE(prepared.failure.isEmpty()) << prepared.failure.toStdString();
    EXPECT_NE(prepared.path, source);
    return prepared.path;
}

} // namespace

// Whatever the EXIF orientation says, the photo arrives upright with
// orientation 1: the mirrored ones too, and a large portrait turned a
// quarter is decoded scaled down the right way round. A photo that fits
// is copied as it is.
TEST(DevicePhotos, EveryPhotoArrivesUprightAndWithinTheScreen)
{
    REQUIRE_PHOTO_TOOLS();
    TempTree tree;
    Night night(tree, Frame());
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        fixtures::JpegFixture turned;
        turned.orientation = orientation;
        const QString source = fixtures::Jpeg(tree.Path(QStringLiteral("lib/o%1.JPG").arg(orientation)), turned);
        ASSERT_FALSE(source.isEmpty());
        EXPECT_EQ(night.TreatmentOf(source),
                  orientation == 1 ? Treatment::Copy : Treatment::Convert);
        if (orientation == 1)
            continue;
        EXPECT_EQ(night.NameFor(source, QFileInfo(source).fileName()),
                  QStringLiteral("o%1.jpg").arg(orientation));
        const QString made = Made(night, source);
        ExpectUpright(made, {600, 400});
        EXPECT_TRUE(fixtures::ExifOf(made).contains(QRegularExpression("Exif.Image.Orientation +Short +1 ")));
    }
    const struct {
        int width, height, orientation;
        PhotoFit fit;
        QSize fitted;
    } sizes[] = {
        {6000, 4000, 0, PhotoFit::Inside, {900, 600}},
        {6000, 4000, 0, PhotoFit::Fill, {1024, 600}},
        {4000, 6000, 6, PhotoFit::Inside, {400, 600}}, // stored 6000x4000
        {4000, 6000, 6, PhotoFit::Fill, {1024, 600}},
    };
    for (const auto& [width, height, orientation, fit, fitted] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " fill " << (fit == PhotoFit::Fill));
        TempTree own;
        Night large(own, Frame(fit));
        fixtures::JpegFixture photo;
        photo.width = width;
        photo.height = height;
        photo.orientation = orientation;
        const QString source = fixtures::Jpeg(own.Path("lib/large.jpg"), photo);
        ASSERT_FALSE(source.isEmpty());
        const QString made = Made(large, source);
        ASSERT_EQ(fixtures::SizeOf(made), fitted);
        if (fit == PhotoFit::Inside)
            ExpectUpright(made, fitted);
    }
    fixtures::JpegFixture small;
    small.width = 640;
    small.height = 480;
    const QString fits = fixtures::Jpeg(tree.Path("lib/fits.jpg"), small);
    const FileTreatments::Prepared copied = night.Prepare(fits);
    EXPECT_EQ(copied.path, fits) << "copied byte for byte, from the source itself";
}

// What a frame does not show becomes a baseline JPEG in 8-bit sRGB, its
// transparency over black: a progressive JPEG, a PNG with alpha, a CMYK
// JPEG, a 16-bit PNG, and a phone's HEIC, turned by libheif alone.
TEST(DevicePhotos, EveryFormatBecomesABaselineJpegTheFrameShows)
{
    REQUIRE_PHOTO_TOOLS();
    TempTree tree;
    Night night(tree, Frame());
    fixtures::JpegFixture progressive;
    progressive.progressive = true;
    fixtures::JpegFixture cmyk;
    cmyk.cmyk = true;
    const struct {
        const char* name;
        std::function<QString(const QString&)> make;
    } cases[] = {
        {"progressive.jpg", [&](const QString& path) { return fixtures::Jpeg(path, progressive); }},
        {"cmyk.jpg", [&](const QString& path) { return fixtures::Jpeg(path, cmyk); }},
        {"deep.png", [](const QString& path) { return fixtures::Png16(path); }},
        {"alpha.png", [](const QString& path) { return fixtures::PngWithAlpha(path); }},
        {"phone.HEIC", [](const QString& path) { return fixtures::HeicTurned(path, "2023:08:01 18:45:00"); }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        const QString source = make(tree.Path(QStringLiteral("lib/") + name));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_EQ(night.TreatmentOf(source), Treatment::Convert);
        const QString made = Made(night, source);
        EXPECT_TRUE(fixtures::HasJpegMarker(made, 0xC0));
        EXPECT_FALSE(fixtures::HasJpegMarker(made, 0xC2));
        EXPECT_EQ(fixtures::SizeOf(made), QSize(600, 400));
        EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(made, 5, 5), kRed));
        EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(made, 590, 30), QLatin1String(name) == u"alpha.png" ? kBlack : kBlue));
        if (QLatin1String(name) == u"alpha.png") {
            EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(made, 590, 390), kBlack)) << "transparent: black";
            EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(made, 100, 390), {0, 128, 0}, 20)) << "half green over black";
        }
        EXPECT_EQ(ReadPhotoFacts(made).orientation, 1);
        if (QLatin1String(name) == u"phone.HEIC") {
            EXPECT_TRUE(fixtures::ExifOf(made).contains("2023:08:01 18:45:00"));
        }
    }
    EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
}

// The date taken, its offset, the camera and the caption are kept; the
// location only where the profile keeps it; a photo without a date takes
// its file's. A photo that fits but has a location keeps its JPEG data.
TEST(DevicePhotos, TheDateStaysAndTheLocationGoes)
{
    REQUIRE_PHOTO_TOOLS();
    TempTree tree;
    fixtures::JpegFixture tagged;
    tagged.orientation = 6;
    tagged.dateTaken = "2021:07:14 09:30:00";
    tagged.offsetTaken = "+02:00";
    tagged.make = "Phonemaker";
    tagged.model = "Phone 12";
    tagged.caption = "Short trip";
    tagged.gps = true;
    const QString turned = fixtures::Jpeg(tree.Path("lib/turned.jpg"), tagged);
    tagged.orientation = 0;
    const QString fits = fixtures::Jpeg(tree.Path("lib/fits.jpg"), tagged);
    const QString undated = fixtures::Png16(tree.Path("lib/undated.png"));
    ASSERT_FALSE(turned.isEmpty() || fits.isEmpty() || undated.isEmpty());
    QFile file(undated);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2019, 3, 4), QTime(5, 6, 7)), QFileDevice::FileModificationTime));
    file.close();
    for (const bool keepLocation : {false, true}) {
        SCOPED_TRACE(keepLocation);
        Night night(tree, Frame(PhotoFit::Inside, keepLocation));
        ASSERT_EQ(night.TreatmentOf(fits),
                  keepLocation ? Treatment::Copy : Treatment::RewriteTags);
        const QString made = Made(night, turned);
        const QString exif = fixtures::ExifOf(made);
        for (const char* kept : {"2021:07:14 09:30:00", "+02:00", "Phonemaker", "Phone 12", "Short trip"})
            EXPECT_TRUE(exif.contains(kept)) << kept << "\n" << exif.toStdString();
        EXPECT_EQ(exif.contains("GPSLatitude"), keepLocation) << exif.toStdString();
        if (!keepLocation) {
            const QString rewritten = Made(night, fits);
            EXPECT_FALSE(fixtures::ExifOf(rewritten).contains("GPS"));
            EXPECT_TRUE(fixtures::ExifOf(rewritten).contains("2021:07:14 09:30:00"));
            const QByteArray before = FileBytes(fits);
            const QByteArray after = FileBytes(rewritten);
            EXPECT_EQ(after.mid(after.indexOf("\xFF\xDA")), before.mid(before.indexOf("\xFF\xDA"))) << "the same scan";
        }
    }
    Night night(tree, Frame());
    ASSERT_EQ(night.TreatmentOf(undated), Treatment::Convert) << "a PNG the frame does not show";
    EXPECT_TRUE(fixtures::ExifOf(Made(night, undated)).contains("2019:03:04 05:06:07"));
}

// A photo that cannot be made fails its row with the reason and leaves
// nothing behind; no decoder is handed a photo of unbounded size.
TEST(DevicePhotos, ABadPhotoFailsItsRowAndLeavesNothing)
{
    REQUIRE_PHOTO_TOOLS();
    TempTree tree;
    Night night(tree, Frame());
    const struct {
        QString source;
        const char* reason;
    } cases[] = {
        {fixtures::TruncatedJpeg(tree.Path("lib/cut.jpg")), "cut short"},
        {fixtures::TextNamedJpeg(tree.Path("lib/text.jpg")), "named as a photo but holds none"},
        {tree.WriteFile("lib/empty.jpeg", ""), "empty"},
        {fixtures::HugePngHeader(tree.Path("lib/huge.png")), "900 megapixels"},
    };
    for (const auto& [source, reason] : cases) {
        SCOPED_TRACE(reason);
        ASSERT_FALSE(source.isEmpty());
        ASSERT_EQ(night.TreatmentOf(source), Treatment::Convert);
        const FileTreatments::Prepared failed = night.Prepare(source);
        EXPECT_TRUE(failed.path.isEmpty());
        EXPECT_TRUE(failed.failure.contains(reason)) << failed.failure.toStdString();
    }
    EXPECT_TRUE(QDir(tree.Path("cache")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

#include "device/PhotoMaking.h"

#include "device/HeifImage.h"
#include "device/PhotoExif.h"
#include "device/PhotoTreatment.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <mutex>

namespace {

// No decoder is handed more: a whole photo of the most pixels allowed, at
// 16 bits a channel.
constexpr int kAllocationLimitMb = static_cast<int>(kMostWholePixels * 8 / (1024 * 1024)) + 1;
// No HEIF photo is larger; a file that is, is something else.
constexpr qint64 kMostHeifBytes = 256 * 1024 * 1024;
// A JPEG's EXIF block lies at its start.
constexpr qint64 kExifHeadBytes = 1024 * 1024;

struct Decoded {
    QImage image;
    QByteArray exif;
    QString failure;
};

QString TooManyPixels(std::int64_t pixels, std::int64_t most)
{
    return QStringLiteral("it has %1 megapixels, more than the %2 a photo of its kind may have")
        .arg(pixels / 1'000'000)
        .arg(most / 1'000'000);
}

QByteArray ReadAtMost(const QString& path, qint64 bytes, QString& failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = QStringLiteral("it cannot be read: %1").arg(file.errorString());
        return {};
    }
    return file.read(bytes);
}

Decoded DecodeHeifFile(const QString& source)
{
    Decoded decoded;
    if (QFileInfo(source).size() > kMostHeifBytes) {
        decoded.failure = QStringLiteral("it is larger than any HEIF photo");
        return decoded;
    }
    const QByteArray bytes = ReadAtMost(source, kMostHeifBytes, decoded.failure);
    if (!decoded.failure.isEmpty())
        return decoded;
    HeifPicture picture = DecodeHeif(bytes, kMostWholePixels);
    return {std::move(picture.image), std::move(picture.exif), std::move(picture.failure)};
}

// Decoded by Qt with its EXIF orientation applied; a JPEG already scaled
// down as libjpeg decodes it, which Qt does before it turns the photo.
Decoded DecodeWithQt(const QString& source, const PhotoFacts& facts, const PhotoRules& rules)
{
    Decoded decoded;
    const bool jpeg = facts.format == u"jpeg";
    const std::int64_t pixels = std::int64_t {facts.width} * facts.height;
    const std::int64_t most = jpeg ? kMostJpegPixels : kMostWholePixels;
    if (pixels > most) {
        decoded.failure = TooManyPixels(pixels, most);
        return decoded;
    }
    if (jpeg && !JpegHasEnd(source)) {
        decoded.failure = kJpegCutShort;
        return decoded;
    }
    QImageReader reader(source, facts.format.toLatin1());
    reader.setAutoTransform(true);
    if (jpeg) {
        const QSize upright(facts.UprightWidth(), facts.UprightHeight());
        const QSize scaled = ScaledPhotoSize(upright, rules);
        if (scaled != upright)
            reader.setScaledSize(facts.TurnsQuarter() ? scaled.transposed() : scaled);
        decoded.exif = JpegExifOf(ReadAtMost(source, kExifHeadBytes, decoded.failure));
    }
    decoded.image = reader.read();
    if (decoded.image.isNull())
        decoded.failure = QStringLiteral("it cannot be decoded: %1").arg(reader.errorString());
    return decoded;
}

// 8 bits a channel in sRGB, with what is transparent put over black.
QImage OpaqueSrgb(QImage image)
{
    const bool alpha = image.hasAlphaChannel();
    image.convertTo(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    // The frame gets no colour profile: it shows sRGB whatever it is told.
    image.setColorSpace(QColorSpace());
    if (!alpha)
        return image;
    // Premultiplied, each pixel is its colour over black.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xFF000000U;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

QImage FittedToScreen(const QImage& image, const PhotoRules& rules)
{
    const QSize scaled = ScaledPhotoSize(image.size(), rules);
    const QImage sized
        = scaled == image.size() ? image : image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QSize fitted = FittedPhotoSize(image.size(), rules);
    if (fitted == sized.size())
        return sized;
    return sized.copy((sized.width() - fitted.width()) / 2, (sized.height() - fitted.height()) / 2, fitted.width(),
                      fitted.height());
}

QByteArray BaselineJpeg(const QImage& image, int quality, QString& failure)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(false);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        failure = QStringLiteral("it could not be written as a JPEG: %1").arg(writer.errorString());
    return buffer.data();
}

QString WriteTarget(const QString& target, const QByteArray& bytes)
{
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        return QStringLiteral("the fitted photo could not be written: %1").arg(file.errorString());
    return {};
}

QString WithNewExif(const QString& target, const QByteArray& jpeg, const QByteArray& exif, QSize size,
                    const QString& source, const PhotoRules& rules)
{
    const QByteArray segment = FittedExifSegment(exif, QFileInfo(source).lastModified(), size, rules);
    if (segment.isEmpty())
        return QStringLiteral("this build of Quorvex cannot write a photo's EXIF block");
    return WriteTarget(target, WithExifSegment(jpeg, segment, rules));
}

} // namespace

void ReadyPhotoDecoders()
{
    static std::once_flag ready;
    std::call_once(ready, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMb);
        // Asking for the formats loads every image plugin here and now.
        QImageReader::supportedImageFormats();
    });
}

QString MakePhoto(const QString& source, const PhotoFacts& facts, const PhotoRules& rules, Treatment treatment,
                 const QString& target)
{
    ReadyPhotoDecoders();
    if (!facts.problem.isEmpty())
        return facts.problem;
    QString failure;
    if (treatment == Treatment::RewriteTags) {
        // It fits the screen, so it is small: its data is kept as it is.
        const QByteArray jpeg = ReadAtMost(source, kMostHeifBytes, failure);
        if (!failure.isEmpty())
            return failure;
        return WithNewExif(target, jpeg, JpegExifOf(jpeg), {facts.width, facts.height}, source, rules);
    }
    const Decoded decoded = facts.format == u"heif" ? DecodeHeifFile(source) : DecodeWithQt(source, facts, rules);
    if (!decoded.failure.isEmpty())
        return decoded.failure;
    const QImage fitted = FittedToScreen(OpaqueSrgb(decoded.image), rules);
    const QByteArray jpeg = BaselineJpeg(fitted, rules.quality, failure);
    if (!failure.isEmpty())
        return failure;
    return WithNewExif(target, jpeg, decoded.exif, fitted.size(), source, rules);
}

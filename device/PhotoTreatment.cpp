#include "device/PhotoTreatment.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Room for the EXIF block written: its tags, a caption and a location.
constexpr std::uint64_t kExifRoom = 8 * 1024;
// The tables and headers of a JPEG, whatever its size.
constexpr std::uint64_t kJpegHeaderRoom = 2 * 1024;

bool Shows(const PhotoFacts& facts, const PhotoRules& rules)
{
    if (!rules.plays.contains(facts.format))
        return false;
    // Frames stall on progressive JPEGs and show CMYK ones in false colours.
    if (facts.format == u"jpeg")
        return facts.baseline && facts.components != 4;
    return facts.bitsPerSample <= 8;
}

// The bits a pixel of a photograph takes in a 4:2:0 JPEG at quality, on
// the generous side: a JPEG of fine detail takes this much, most take less.
double BitsPerPixel(int quality)
{
    static constexpr std::array<std::pair<int, double>, 6> kTable {
        {{0, 0.6}, {50, 1.3}, {75, 2.0}, {90, 3.3}, {95, 4.6}, {100, 8.0}}};
    for (std::size_t i = 1; i < kTable.size(); ++i) {
        const auto [high, highBits] = kTable[i];
        if (quality <= high) {
            const auto [low, lowBits] = kTable[i - 1];
            return lowBits + (highBits - lowBits) * (quality - low) / (high - low);
        }
    }
    return kTable.back().second;
}

int Scaled(int side, double scale) { return std::max(1, static_cast<int>(std::lround(side * scale))); }

} // namespace

Treatment PhotoTreatmentOf(const PhotoFacts& facts, const PhotoRules& rules)
{
    if (!facts.IsPhoto())
        return Treatment::Copy;
    if (!facts.problem.isEmpty() || !Shows(facts, rules) || facts.orientation != 1 || facts.width > rules.width
        || facts.height > rules.height)
        return Treatment::Convert;
    return facts.hasLocation && !rules.keepLocation && facts.format == u"jpeg" ? Treatment::RewriteTags
                                                                                : Treatment::Copy;
}

QSize ScaledPhotoSize(QSize upright, const PhotoRules& rules)
{
    if (upright.isEmpty())
        return upright;
    const double across = static_cast<double>(rules.width) / upright.width();
    const double down = static_cast<double>(rules.height) / upright.height();
    const double scale = std::min(1.0, rules.fit == PhotoFit::Fill ? std::max(across, down) : std::min(across, down));
    return {Scaled(upright.width(), scale), Scaled(upright.height(), scale)};
}

QSize FittedPhotoSize(QSize upright, const PhotoRules& rules)
{
    const QSize scaled = ScaledPhotoSize(upright, rules);
    if (rules.fit == PhotoFit::Inside)
        return scaled;
    return {std::min(scaled.width(), rules.width), std::min(scaled.height(), rules.height)};
}

std::uint64_t EstimatedPhotoBytes(const PhotoFacts& facts, const PhotoRules& rules)
{
    // A HEIF's size is read when it is decoded: the whole screen is assumed.
    const QSize upright = facts.width > 0 ? QSize(facts.UprightWidth(), facts.UprightHeight())
                                          : QSize(rules.width, rules.height);
    const QSize fitted = FittedPhotoSize(upright, rules);
    const double pixels = static_cast<double>(fitted.width()) * fitted.height();
    return static_cast<std::uint64_t>(pixels * BitsPerPixel(rules.quality) / 8) + kJpegHeaderRoom + kExifRoom;
}

QString FittedPhotoName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? name.left(dot) : name) + QStringLiteral(".jpg");
}

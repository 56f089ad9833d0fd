#include "device/HeifImage.h"

#ifdef QUORVEX_HAVE_LIBHEIF
#include <libheif/heif.h>
#endif

#include <memory>
#include <mutex>

namespace {

#ifdef QUORVEX_HAVE_LIBHEIF

// libheif's own limit is on each side: this one keeps a long strip out
// before the pixel count is checked.
constexpr int kMostSide = 32768;

template <typename T, void (*Release)(T*)>
struct Releaser {
    void operator()(T* pointer) const { Release(pointer); }
};
using Context = std::unique_ptr<heif_context, Releaser<heif_context, heif_context_free>>;
using Handle = std::unique_ptr<heif_image_handle, Releaser<const heif_image_handle, heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Releaser<const heif_image, heif_image_release>>;

QString Failed(const heif_error& error) { return QStringLiteral("it cannot be decoded: %1").arg(QString::fromUtf8(error.message)); }

// Its EXIF block, past the four bytes that say where the TIFF header begins.
QByteArray ExifOf(heif_image_handle* handle)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return {};
    QByteArray block(static_cast<qsizetype>(heif_image_handle_get_metadata_size(handle, id)), Qt::Uninitialized);
    if (block.size() < 4 || heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    const std::uint32_t skip = std::uint32_t {bytes[0]} << 24 | std::uint32_t {bytes[1]} << 16 | bytes[2] << 8 | bytes[3];
    if (skip > static_cast<std::uint32_t>(block.size() - 4))
        return {};
    return QByteArray("Exif\0\0", 6) + block.mid(4 + skip);
}

#endif

} // namespace

HeifPicture DecodeHeif(const QByteArray& bytes, std::int64_t mostPixels)
{
    HeifPicture picture;
#ifdef QUORVEX_HAVE_LIBHEIF
    // Loads the decoders, which are plugins of libheif; done once a process.
    static std::once_flag initialised;
    std::call_once(initialised, [] { heif_init(nullptr); });
    Context context(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(context.get(), kMostSide);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                                 static_cast<std::size_t>(bytes.size()), nullptr);
    heif_image_handle* primary = nullptr;
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(context.get(), &primary);
    if (error.code != heif_error_Ok) {
        picture.failure = Failed(error);
        return picture;
    }
    const Handle handle(primary);
    const std::int64_t pixels = std::int64_t {heif_image_handle_get_ispe_width(primary)} * heif_image_handle_get_ispe_height(primary);
    if (pixels > mostPixels) {
        picture.failure = QStringLiteral("it has %1 megapixels, more than the %2 a photo of its kind may have")
                              .arg(pixels / 1'000'000)
                              .arg(mostPixels / 1'000'000);
        return picture;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(primary);
    heif_image* decoded = nullptr;
    error = heif_decode_image(primary, &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    if (error.code != heif_error_Ok) {
        picture.failure = Failed(error);
        return picture;
    }
    const Image image(decoded);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!plane || width <= 0 || height <= 0) {
        picture.failure = QStringLiteral("it cannot be decoded: it holds no picture");
        return picture;
    }
    picture.image = QImage(plane, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888).copy();
    if (picture.image.isNull())
        picture.failure = QStringLiteral("there is no memory for its %1x%2 pixels").arg(width).arg(height);
    picture.exif = ExifOf(primary);
#else
    Q_UNUSED(bytes) Q_UNUSED(mostPixels)
    picture.failure = QStringLiteral("this build of Quorvex cannot read HEIF photos");
#endif
    return picture;
}

// turned-heic RGB WIDTH HEIGHT EXIF OUTPUT: encodes WIDTH x HEIGHT
// interleaved 8-bit RGB (the file RGB) as an HEVC HEIC at OUTPUT, with an
// irot box turning it a quarter clockwise, and the EXIF block in the file
// EXIF (from "Exif\0\0"). heif-enc writes no irot. A program of its own, on
// libheif alone, so that the Windows build's tests, under Wine, run the
// Linux machine's as they run its other tools.
#include <libheif/heif.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// GCC names AddressSanitizer with a macro, Clang as a feature.
#if defined(__SANITIZE_ADDRESS__)
#define TURNED_HEIC_ASAN
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TURNED_HEIC_ASAN
#endif
#endif
#ifdef TURNED_HEIC_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

std::vector<char> ReadAll(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "turned-heic: %s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6)
        return Fail("give RGB WIDTH HEIGHT EXIF OUTPUT");
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    const std::vector<char> rgb = ReadAll(argv[1]);
    const std::vector<char> exif = ReadAll(argv[4]);
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
        return Fail(std::string(argv[1]) + ": not " + argv[2] + "x" + argv[3] + " RGB pixels");

    heif_init(nullptr);
    heif_error error {heif_error_Ok, heif_suberror_Unspecified, ""};
    const auto ok = [&error](heif_error next) { return (error = next).code == heif_error_Ok; };
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_image_handle* handle = nullptr;
    heif_encoding_options* options = heif_encoding_options_alloc();
    // The irot box comes only through these options. An odd size is then
    // cropped with clap rather than put in a grid, whose EXIF exiv2 0.27
    // does not find.
    options->image_orientation = heif_orientation_rotate_90_cw;
    options->macOS_compatibility_workaround = 0;
    if (ok(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder))
        && ok(heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image))
        && ok(heif_image_add_plane(image, heif_channel_interleaved, width, height, 8))) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        const size_t line = size_t(width) * 3;
        for (int row = 0; row < height; ++row)
            std::memcpy(plane + size_t(row) * size_t(stride), rgb.data() + size_t(row) * line, line);
        heif_encoder_set_lossy_quality(encoder, 90);
        {
#ifdef TURNED_HEIC_ASAN
            // x265 3.5 leaks a little in every encoder it opens.
            const __lsan::ScopedDisabler x265Leaks;
#endif
            ok(heif_context_encode_image(context, image, encoder, options, &handle));
        }
        if (error.code == heif_error_Ok
            && ok(heif_context_add_exif_metadata(context, handle, exif.data(), static_cast<int>(exif.size()))))
            ok(heif_context_write_to_file(context, argv[5]));
    }
    // The words are the context's: taken before it goes.
    const std::string why = error.code ? std::string("libheif: ") + error.message : std::string();
    heif_image_handle_release(handle);
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    heif_deinit();
    return why.empty() ? 0 : Fail(why);
}

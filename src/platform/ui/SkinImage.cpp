#include "platform/ui/SkinImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <jpeglib.h>

namespace ui {
namespace {

// Larger pictures are refused before any memory is taken for them: a corrupt header must not
// make us allocate gigabytes. The largest skin picture is a few hundred thousand pixels.
constexpr JDIMENSION kMaxSide = 8192;

// libjpeg reports a fatal error by calling error_exit, which must not return: we jump back to the
// decoder or encoder. Warnings (a truncated file, corrupt data) are counted and make a decode fail too.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnJpegMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output: not wanted
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (err->pub.num_warnings++ == 0)
        (*cinfo->err->format_message)(cinfo, err->message);
}

// Our handlers for one decode or encode; the caller sets the jump point in its own frame.
jpeg_error_mgr* ErrorManager(JpegErrorManager& err)
{
    err.message[0] = '\0';
    jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    err.pub.emit_message = OnJpegMessage;
    return &err.pub;
}

// Only trivially destructible objects live in this frame, so the jump of OnJpegError skips no
// destructor. `out` belongs to the caller; it is reset there on failure.
bool DecodeJpegMemory(const unsigned char* data, unsigned long size, QImage* out, char* message)
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = ErrorManager(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > kMaxSide || cinfo.image_height > kMaxSide) {
        std::snprintf(message, JMSG_LENGTH_MAX, "picture too large (%u x %u)", cinfo.image_width,
                      cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // RGBX bytes in memory whatever the byte order: QImage's RGBX8888 takes them as they are.
    cinfo.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&cinfo);
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGBX8888);
    if (out->isNull()) {
        std::snprintf(message, JMSG_LENGTH_MAX, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    const bool clean = err.pub.num_warnings == 0;
    if (!clean)
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    jpeg_destroy_decompress(&cinfo);
    return clean;
}

// Same rule as DecodeJpegMemory: only trivially destructible objects in this frame.
bool EncodeJpeg(std::FILE* file, const QImage& image, int quality, char* message)
{
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = ErrorManager(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    const bool grey = image.format() == QImage::Format_Grayscale8;
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    for (int i = 0; i < cinfo.num_components; ++i)
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

std::filesystem::path ExecutableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

} // namespace

bool DecodeJpegFile(const std::string& path, QImage& image, std::string* error)
{
    image = QImage();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Fail(error, "Can't open picture \"" + path + "\".");
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    if (file.bad())
        return Fail(error, "Can't read picture \"" + path + "\".");
    if (bytes.empty())
        return Fail(error, "Picture \"" + path + "\" is empty.");
    char message[JMSG_LENGTH_MAX];
    if (!DecodeJpegMemory(bytes.data(), bytes.size(), &image, message)) {
        image = QImage();
        return Fail(error, "Picture \"" + path + "\" is not a valid JPEG: " + message);
    }
    return true;
}

bool WriteJpegFile(const std::string& path, const QImage& image, int quality, std::string* error)
{
    const QImage pixels =
        image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_RGB888);
    if (pixels.isNull())
        return Fail(error, "No picture to write to \"" + path + "\".");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return Fail(error, "Can't write picture \"" + path + "\".");
    char message[JMSG_LENGTH_MAX];
    const bool encoded = EncodeJpeg(file, pixels, quality, message);
    const bool closed = std::fclose(file) == 0;
    if (!encoded)
        return Fail(error, "Can't encode picture \"" + path + "\": " + message);
    if (!closed)
        return Fail(error, "Can't write picture \"" + path + "\".");
    return true;
}

std::string SkinFolder()
{
    if (const char* custom = std::getenv(kSkinFolderVariable); custom && *custom)
        return custom;
    const auto installed = ExecutableFolder() / "skin";
    std::error_code ec;
    if (std::filesystem::is_directory(installed, ec))
        return installed.string();
    return SONOREL_SOURCE_SKIN_DIR;
}

std::string SkinPicturePath(const std::string& name)
{
    return SkinFolder() + "/" + name + ".jpg";
}

bool LoadSkinImage(const std::string& name, QImage& image, std::string* error)
{
    QImage colour;
    if (!DecodeJpegFile(SkinPicturePath(name), colour, error)) {
        image = QImage();
        return false;
    }
    const std::string alphaPath = SkinPicturePath(name + "_alpha");
    std::error_code ec;
    if (!std::filesystem::exists(alphaPath, ec)) {
        image = colour.convertToFormat(QImage::Format_RGB32);
        return true;
    }
    QImage alpha;
    if (!DecodeJpegFile(alphaPath, alpha, error)) {
        image = QImage();
        return false;
    }
    if (alpha.size() != colour.size()) {
        image = QImage();
        return Fail(error, "Picture \"" + alphaPath + "\" does not match the size of \"" + name + "\".");
    }
    colour = colour.convertToFormat(QImage::Format_ARGB32);
    colour.setAlphaChannel(alpha.convertToFormat(QImage::Format_Grayscale8));
    image = colour.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}

QImage SkinImage(const std::string& name)
{
    QImage image;
    LoadSkinImage(name, image);
    return image;
}

QPixmap SkinPixmap(const std::string& name)
{
    return QPixmap::fromImage(SkinImage(name));
}

} // namespace ui

#pragma once

#include <QImage>
#include <QPixmap>
#include <string>

// The pictures of the skinned windows: JPEG files decoded with libjpeg-turbo, looked up by name in
// the skin folder. A picture "name" is the file "name.jpg"; when "name_alpha.jpg" lies beside it,
// that grey picture is the transparency (white opaque, black clear), since JPEG has no alpha.
namespace ui {

// Decodes a JPEG file. On a missing, unreadable, truncated or corrupt file: returns false, leaves
// `image` null and, when `error` is given, puts a readable reason (with the path) into it.
bool DecodeJpegFile(const std::string& path, QImage& image, std::string* error = nullptr);

// Writes a JPEG file: grey when the image is Grayscale8, else RGB, with the colour at full
// resolution (no chroma subsampling keeps small coloured captions sharp). False, and a readable
// reason in `error` when given, when the file can't be written. For the skin generator and tests.
bool WriteJpegFile(const std::string& path, const QImage& image, int quality, std::string* error = nullptr);

// Environment variable that points at another skin folder (tests, a custom skin).
inline constexpr const char* kSkinFolderVariable = "SONOREL_SKIN_DIR";

// The skin folder, without trailing '/': $SONOREL_SKIN_DIR when set; else "skin" beside the
// executable when it exists (installed copy); else the source tree's assets/skin (test programs).
std::string SkinFolder();

// Path of the skin picture `name` (no extension) in SkinFolder().
std::string SkinPicturePath(const std::string& name);

// Loads the skin picture `name`, with its alpha picture applied when there is one (the result is
// then ARGB32 premultiplied; otherwise RGB32). False and a null image when the picture is missing
// or corrupt, or when its alpha picture is corrupt or of another size.
bool LoadSkinImage(const std::string& name, QImage& image, std::string* error = nullptr);

// Shorthands for widgets: the picture, or a null image/pixmap when it can't be loaded.
QImage SkinImage(const std::string& name);
QPixmap SkinPixmap(const std::string& name);

} // namespace ui

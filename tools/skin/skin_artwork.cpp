// Draws Sonorel's skin and writes it as JPEG files, with the README that says where each picture
// goes; or composes preview screens from the written files (decoded the way the program does).
//
//   skin_artwork write   <folder>   pictures and README.md into <folder> (normally assets/skin)
//   skin_artwork preview <folder>   PNG previews of the windows into <folder>, from the skin folder

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <algorithm>
#include <map>

#include "platform/ui/SkinImage.h"
#include "skin_catalogue.h"
#include "skin_preview.h"

namespace {

using namespace skin;

constexpr int kColourQuality = 85;
constexpr int kAlphaQuality = 90;

bool WriteJpeg(const std::string& path, const QImage& image, int quality)
{
    std::string error;
    if (ui::WriteJpegFile(path, image, quality, &error))
        return true;
    std::cerr << error << "\n";
    return false;
}

class Renderer {
public:
    // The whole picture as it will look on screen (opaque pictures) or with its transparency (icons).
    QImage Render(const Picture& pic)
    {
        switch (pic.kind) {
        case Kind::Background:
            return Background(pic);
        case Kind::Icon:
            return IconImage(pic);
        case Kind::Highlight:
        case Kind::Button:
            return ButtonImage(pic, ButtonState::Normal);
        case Kind::Picture: {
            QImage image = Backdrop(pic);
            QPainter p(&image);
            pic.paint(p, image.size());
            return image;
        }
        }
        return {};
    }

    QImage ButtonImage(const Picture& pic, ButtonState state)
    {
        QImage image = Backdrop(pic);
        QPainter p(&image);
        PaintButton(p, QRect(QPoint(0, 0), image.size()), pic.face, state);
        return image;
    }

private:
    QImage Background(const Picture& pic)
    {
        auto found = backgrounds_.find(pic.file);
        if (found != backgrounds_.end())
            return found->second;
        QImage image(pic.rect.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        pic.paint(p, image.size());
        p.end();
        return backgrounds_[pic.file] = image;
    }

    // The part of the picture's background that it covers, so its edges meet the background.
    QImage Backdrop(const Picture& pic)
    {
        const Picture& ground = Find(pic.backdrop);
        return Background(ground).copy(pic.rect.translated(-ground.rect.topLeft()));
    }

    static QImage IconImage(const Picture& pic)
    {
        QImage image(pic.rect.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        pic.paint(p, image.size());
        return image;
    }

    std::map<std::string, QImage> backgrounds_;
};

// An icon is stored as its colours over the outline colour (so no light fringe appears where the
// transparency is partial) plus its alpha as a grey picture.
bool WriteIcon(const std::string& base, const QImage& icon)
{
    QImage colourLayer(icon.size(), QImage::Format_RGB32);
    colourLayer.fill(colour::kOutline);
    QPainter(&colourLayer).drawImage(0, 0, icon);
    QImage alpha(icon.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            alpha.scanLine(y)[x] = uchar(qAlpha(icon.pixel(x, y)));
    return WriteJpeg(base + ".jpg", colourLayer, kColourQuality) &&
           WriteJpeg(base + "_alpha.jpg", alpha, kAlphaQuality);
}

std::string Files(const Picture& pic)
{
    const std::string f = "`" + pic.file;
    switch (pic.kind) {
    case Kind::Button:
        return f + "`, `" + pic.file + "_hover`, `" + pic.file + "_down`";
    case Kind::Icon:
        return f + "` (+ `" + pic.file + "_alpha`)";
    default:
        return f + "`";
    }
}

std::string Use(const Picture& pic)
{
    if (!pic.note.empty())
        return pic.note;
    return pic.face.caption.isEmpty() ? "" : "button \"" + pic.face.caption.toStdString() + "\"";
}

std::string Rect(const QRect& r)
{
    return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ") " + std::to_string(r.width()) + " x " +
           std::to_string(r.height());
}

void WriteReadme(const std::string& path)
{
    std::ofstream out(path);
    out << "# Sonorel skin\n\n"
           "Our own artwork for the skinned windows, drawn by `tools/skin` (rebuild with\n"
           "`cmake --build <build> --target skin_artwork_write`; the files here are committed, the tool is\n"
           "not part of the normal build). Load a picture by name with `ui::SkinImage(\"name\")` /\n"
           "`ui::SkinPixmap(\"name\")` (`src/platform/ui/SkinImage.h`); the name is the file name without\n"
           "\".jpg\". The build copies this folder to `skin/` beside the executable; `SONOREL_SKIN_DIR`\n"
           "points elsewhere.\n\n"
           "- Picture buttons have three files: `name` (normal), `name_hover`, `name_down` (pressed; the\n"
           "  picture button's pressed picture). The hover picture is optional polish. Each is cut from the\n"
           "  background it sits on, so it must stand exactly at the place given.\n"
           "- Navigation highlights are the current-page state of their navigation button, placed over it.\n"
           "- Icons are transparent: `name_alpha.jpg` holds the alpha; `ui::SkinImage` applies it.\n"
           "- Places are in the window's client coordinates (the main window's pages at (0, 0)).\n"
           "- The page backgrounds already contain the top strip and the navigation strip, painted exactly\n"
           "  like `main_top` and `main_navigation`; the window's rounded region has radius 3 (export\n"
           "  window 6), as the frames are drawn.\n"
           "- Colours for the plain widgets: text #e8ebf0, dim text #8d96a6, wells and grids #0e1014, lines\n"
           "  #2c323c, accent and selection #4cc2ff (selected row fill #1d3346), triggers #ffb547. Font:\n"
           "  DejaVu Sans.\n\n";
    out << "## Pictures\n";
    std::vector<std::string> windows; // in the order they first appear
    for (const auto& pic : Catalogue())
        if (std::find(windows.begin(), windows.end(), pic.window) == windows.end())
            windows.push_back(pic.window);
    for (const auto& window : windows) {
        out << "\n### " << window << "\n\n| Files | Control | Place and size | Use |\n|---|---|---|---|\n";
        for (const auto& pic : Catalogue()) {
            if (pic.window != window)
                continue;
            const std::string place = (pic.kind == Kind::Icon)
                                          ? std::to_string(pic.rect.width()) + " x " + std::to_string(pic.rect.height())
                                          : Rect(pic.rect);
            out << "| " << Files(pic) << " | " << pic.control << " | " << place << " | " << Use(pic) << " |\n";
        }
    }
    out << "\n## Places of the plain widgets on the skinned windows\n\n"
           "The backgrounds draw wells (dark recesses) and leave room for these.\n\n"
           "| Window | Control | Place and size | Note |\n|---|---|---|---|\n";
    for (const auto& w : WidgetPlaces())
        out << "| " << w.window << " | " << w.control << " | " << Rect(w.rect) << " | " << w.note << " |\n";
}

int WriteAll(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    Renderer renderer;
    bool ok = true;
    for (const auto& pic : Catalogue()) {
        const std::string base = (folder / pic.file).string();
        if (pic.kind == Kind::Icon) {
            ok &= WriteIcon(base, renderer.Render(pic));
        } else if (pic.kind == Kind::Button) {
            ok &= WriteJpeg(base + ".jpg", renderer.ButtonImage(pic, ButtonState::Normal), kColourQuality);
            ok &= WriteJpeg(base + "_hover.jpg", renderer.ButtonImage(pic, ButtonState::Hover), kColourQuality);
            ok &= WriteJpeg(base + "_down.jpg", renderer.ButtonImage(pic, ButtonState::Down), kColourQuality);
        } else {
            ok &= WriteJpeg(base + ".jpg", renderer.Render(pic), kColourQuality);
        }
    }
    WriteReadme((folder / "README.md").string());
    std::cout << Catalogue().size() << " pictures written to " << folder.string() << "\n";
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc != 3 || (mode != "write" && mode != "preview")) {
        std::cerr << "usage: skin_artwork write|preview <folder>\n";
        return 2;
    }
    if (mode == "write")
        return WriteAll(argv[2]);
    return skin::WritePreviews(argv[2]) ? 0 : 1;
}

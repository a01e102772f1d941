#pragma once

// Every picture of the skin: its file name, the control that shows it, where it goes and how it is
// painted. The generator writes the files and the README from this one list, and composes the
// previews from it, so names, sizes and places cannot drift apart.

#include <QImage>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

#include "skin_style.h"

namespace skin {

enum class Kind {
    Background, // a whole window, page or panel
    Button,     // a picture button: file, file_hover, file_down
    Highlight,  // a picture shown over a button to mark the current page
    Icon,       // a small picture with transparency: file and file_alpha
    Picture     // any other fixed picture (drawn on its backdrop)
};

struct Picture {
    std::string file;      // file name without ".jpg"
    std::string control;   // the control(s) that show it
    std::string window;    // the window or page it belongs to
    QRect rect;            // place and size in the window's client coordinates
    Kind kind = Kind::Picture;
    std::string backdrop;  // buttons, highlights, pictures: the background they are cut from
    ButtonFace face;       // buttons and highlights
    std::function<void(QPainter&, const QSize&)> paint; // backgrounds, icons, pictures
    std::string note;      // what the developer needs to know
};

// The whole skin, in the order of the README.
const std::vector<Picture>& Catalogue();

// The picture named `file` from the catalogue (it must exist).
const Picture& Find(const std::string& file);

// Suggested places of the plain widgets that stand on the skinned windows (not pictures); the
// backgrounds leave room and draw wells for them. Shown in the README and in the previews.
struct WidgetPlace {
    std::string window;
    std::string control;
    QRect rect;
    std::string note;
};
const std::vector<WidgetPlace>& WidgetPlaces();

} // namespace skin

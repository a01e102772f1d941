#include "skin_preview.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>

#include "platform/ui/SkinImage.h"
#include "skin_catalogue.h"

namespace skin {
namespace {

using namespace colour;

class Composer {
public:
    explicit Composer(std::string folder) : folder_(std::move(folder)) {}

    bool ok() const { return ok_; }

    QImage Load(const std::string& name)
    {
        std::string error;
        QImage image;
        if (!ui::LoadSkinImage(name, image, &error)) {
            std::cerr << error << "\n";
            ok_ = false;
        }
        return image;
    }

    // Draws the picture at its catalogue place, `offset` added; `state` "" , "_hover" or "_down".
    void Put(QPainter& p, const std::string& file, const std::string& state = {}, QPoint offset = {})
    {
        p.drawImage(Find(file).rect.topLeft() + offset, Load(file + state));
    }

    void Save(const QImage& image, const std::string& name)
    {
        const std::string path = folder_ + "/" + name + ".png";
        if (!image.save(QString::fromStdString(path))) {
            std::cerr << "can't write " << path << "\n";
            ok_ = false;
        }
    }

private:
    std::string folder_;
    bool ok_ = true;
};

void Text(QPainter& p, const QRect& r, const QString& text, const QColor& c, double size, bool bold = false,
          int flags = Qt::AlignLeft | Qt::AlignVCenter)
{
    p.setFont(Font(size, bold));
    p.setPen(c);
    p.drawText(r, flags, text);
}

void FakeWaveform(QPainter& p, const QRect& r)
{
    p.fillRect(r, kWell);
    const QColor pcm(0x2f, 0xdf, 0x48);
    for (int x = 0; x < r.width(); ++x) {
        const double t = x / double(r.width());
        const double h = (0.25 + 0.7 * std::abs(std::sin(t * 41) * std::sin(t * 7.3))) * (r.height() / 2 - 16);
        const bool selected = t > 0.32 && t < 0.58;
        if (selected)
            p.fillRect(QRect(r.left() + x, r.top(), 1, r.height() - 14), QColor(0xf0, 0xf0, 0xf0));
        p.fillRect(QRectF(r.left() + x, r.center().y() - h - 7, 1, 2 * h), selected ? QColor(0x16, 0x83, 0x3a) : pcm);
    }
    for (int i = 0; i < 7; ++i)
        Text(p, QRect(r.left() + 4 + i * 50, r.bottom() - 13, 48, 12), QString("0:%1").arg(i * 8, 2, 10, QChar('0')),
             QColor(0xd0, 0xd0, 0xd0), 9);
}

void FakeList(QPainter& p, const QRect& r, const QStringList& rows, int rowHeight, int selected)
{
    p.fillRect(r, kWell);
    for (int i = 0; i < rows.size(); ++i) {
        const QRect row(r.left(), r.top() + i * rowHeight, r.width(), rowHeight);
        if (i == selected)
            p.fillRect(row, QColor(0x1d, 0x33, 0x46));
        Text(p, row.adjusted(4, 0, 0, 0), rows[i], kText, 11, true);
    }
}

void FakeScrollBar(QPainter& p, const QRect& r, double from, double to)
{
    p.fillRect(r, QColor(0x15, 0x18, 0x1d));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x3a, 0x42, 0x4f));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(r.left() + from * r.width(), r.top() + 3, (to - from) * r.width(), r.height() - 6), 4, 4);
}

void PaintMainOverlays(Composer& c, QPainter& p, const std::string& highlight, const std::string& hovered)
{
    c.Put(p, "main_top");
    c.Put(p, "logo");
    c.Put(p, "preferences");
    c.Put(p, "help_button");
    c.Put(p, "main_navigation");
    for (const auto& pic : Catalogue())
        if (pic.window.find("navigation strip") != std::string::npos && pic.kind == Kind::Button)
            c.Put(p, pic.file, pic.file == hovered ? "_hover" : "");
    if (!highlight.empty())
        c.Put(p, highlight);
}

void PutPageButtons(Composer& c, QPainter& p, const std::string& background, const std::map<std::string, std::string>& states)
{
    for (const auto& pic : Catalogue()) {
        if (pic.backdrop != background || pic.kind != Kind::Button)
            continue;
        const auto state = states.find(pic.file);
        c.Put(p, pic.file, state == states.end() ? "" : state->second);
    }
}

QImage StartPage(Composer& c)
{
    QImage image(960, 662, QImage::Format_RGB32);
    QPainter p(&image);
    c.Put(p, "main_start");
    PaintMainOverlays(c, p, "nav_new_project_current", "nav_load_project");
    PutPageButtons(c, p, "main_start", {{"start_load_project", "_hover"}});
    return image;
}

QImage ZoneEditorPage(Composer& c)
{
    QImage image(960, 662, QImage::Format_RGB32);
    QPainter p(&image);
    c.Put(p, "main_zone_editor");
    PaintMainOverlays(c, p, "nav_zone_editor_current", "");
    PutPageButtons(c, p, "main_zone_editor", {{"zone_play", "_down"}, {"zone_rename", "_hover"}});
    FakeWaveform(p, {177, 126, 321, 162});
    FakeScrollBar(p, {177, 292, 321, 16}, 0.1, 0.45);
    FakeList(p, {509, 126, 124, 133}, {"Night Drive", "Bassline", "Voices - Intro", "Field recording"}, 14, 1);
    FakeList(p, {177, 318, 321, 204}, {"1.Bassline #1", "2.Bassline #2", "3.Drop", "4.Outro loop"}, 20, 2);
    return image;
}

void FakePlaylistRow(Composer& c, QPainter& p, const QRect& row, int index, const QString& name, const QString& time,
                     const QColor& fill, bool overlap, const std::string& trigger, const std::vector<int>& iconSlots)
{
    p.fillRect(row, fill);
    const QColor ink = fill.lightness() > 120 ? QColor(0x10, 0x12, 0x16) : kText;
    Text(p, QRect(row.left() + 2, row.top() + 2, 108, 13), QString("%1. %2").arg(index).arg(name), ink, 11, true);
    if (overlap)
        p.drawImage(row.left(), row.top() + 12, c.Load("icon_overlap"));
    Text(p, QRect(row.left() + 112, row.top() + 24, 40, 13), time, ink, 11, true);
    if (!trigger.empty())
        p.drawImage(row.left() + 112, row.top(), c.Load(trigger));
    static const char* const icons[] = {"icon_fade_in", "icon_volume", "icon_pitch", "icon_tempo", "icon_fade_out"};
    for (int slot : iconSlots)
        p.drawImage(row.left() + 150 + slot * 24, row.top(), c.Load(icons[slot]));
    p.fillRect(QRect(row.left() + 110, row.top(), 1, row.height()), kLine);
    p.fillRect(QRect(row.left() + 150, row.top(), 1, row.height()), kLine);
}

QImage PlaylistPage(Composer& c, bool withHelp)
{
    QImage image(withHelp ? 1310 : 960, 662, QImage::Format_RGB32);
    QPainter p(&image);
    c.Put(p, "main_playlist");
    PaintMainOverlays(c, p, "nav_playlist_current", "nav_save_project");
    PutPageButtons(c, p, "main_playlist", {{"play", "_down"}, {"mouse_trigger", "_hover"}});
    const QRect grid(171, 124, 372, 236);
    p.fillRect(grid, kWell);
    FakePlaylistRow(c, p, {171, 124, 356, 40}, 1, "Night Drive #1", "2m 14s", kWell, true, "", {0, 1});
    FakePlaylistRow(c, p, {171, 164, 356, 40}, 2, "Bassline #2", "1m 48s", QColor(0xa0, 0xa0, 0xa0), false, "icon_mouse", {1, 3});
    FakePlaylistRow(c, p, {171, 204, 356, 40}, 3, "Voices - Intro", "0m 36s", QColor(0x1d, 0x33, 0x46), true, "icon_any_key", {2, 4});
    FakePlaylistRow(c, p, {171, 244, 356, 40}, 4, "Drop", "3m 2s", kWell, false, "", {0, 1, 2, 3, 4});
    FakeScrollBar(p, {527, 124, 16, 236}, 0, 0);
    const int xs[] = {171, 278, 379}, ws[] = {105, 99, 99};
    const char* titles[] = {"Night Drive", "Bassline", "Voices - Intro"};
    for (int i = 0; i < 3; ++i) {
        Text(p, QRect(xs[i] + 1, 391, 95, 13), titles[i], Qt::white, 11, true);
        FakeList(p, {xs[i], 407, ws[i], 104}, {"1.Part A", "2.Part B", "3.Loop"}, 20, i == 1 ? 0 : -1);
    }
    FakeScrollBar(p, {171, 513, 307, 16}, 0, 0.6);
    Text(p, QRect(760, 144, 86, 20), "2m 31.4s", Qt::white, 15, true);
    Text(p, QRect(852, 144, 84, 20), "7m 40.0s", Qt::white, 15, true, Qt::AlignRight | Qt::AlignVCenter);
    if (withHelp) {
        c.Put(p, "help_button", "_down");
        p.drawImage(960, 0, c.Load("help_panel"));
        Text(p, QRect(980, 64, 310, 120),
             "Mouse Trigger: drag this picture onto a row, or double-click it, to make the mix wait for a "
             "mouse click before that row starts.",
             kText, 12, false, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    }
    return image;
}

QImage NewProjectPage(Composer& c)
{
    QImage image(960, 662, QImage::Format_RGB32);
    QPainter p(&image);
    c.Put(p, "main_new_project");
    c.Put(p, "main_top");
    c.Put(p, "logo");
    c.Put(p, "preferences", "_hover");
    c.Put(p, "help_button");
    return image;
}

QImage ExportWindows(Composer& c)
{
    QImage image(483, 300, QImage::Format_RGB32);
    image.fill(QColor(0x50, 0x58, 0x66));
    QPainter p(&image);
    for (int mode = 0; mode < 2; ++mode) {
        const QPoint at(0, mode * 160);
        c.Put(p, "export_wav", "", at);
        if (mode == 1)
            c.Put(p, "export_mp3", "", at);
        c.Put(p, "export_browse", mode == 0 ? "_hover" : "", at);
        c.Put(p, "export_start", mode == 1 ? "_down" : "", at);
        c.Put(p, "export_cancel", "", at);
        Text(p, QRect(26, 62, 380, 20).translated(at), mode == 0 ? "/home/dj/Sonorel/Friday set.wav" : "/home/dj/Sonorel/Friday set.mp3",
             kText, 12);
        if (mode == 1) {
            const QRect bar = QRect(20, 106, 250, 14).translated(at);
            p.fillRect(bar, kWell);
            p.fillRect(bar.adjusted(1, 1, -140, -1), kAccent);
        }
    }
    return image;
}

QImage TriggerWindows(Composer& c)
{
    QImage image(384, 180, QImage::Format_RGB32);
    image.fill(QColor(0x50, 0x58, 0x66));
    QPainter p(&image);
    const char* icons[] = {"trigger_mouse", "trigger_key"};
    const char* texts[] = {"Mix was stopped. Click with mouse to resume.", "Mix was stopped. Press space bar to resume."};
    for (int i = 0; i < 2; ++i) {
        const QPoint at(0, i * 100);
        c.Put(p, "trigger_back", "", at);
        c.Put(p, icons[i], "", at);
        Text(p, QRect(72, 25, 310, 16).translated(at), texts[i], Qt::white, 12);
    }
    return image;
}

void FakeCombo(QPainter& p, const QRect& r, const QString& text)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLineLight, 1));
    p.setBrush(kWell);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    Text(p, r.adjusted(8, 0, -20, 0), text, kText, 12);
    Text(p, r.adjusted(0, 0, -8, 0), QString::fromUtf8("\u25be"), kTextDim, 12, false, Qt::AlignRight | Qt::AlignVCenter);
}

QImage PreferencesWindow(Composer& c)
{
    QImage image(393, 189, QImage::Format_RGB32);
    QPainter p(&image);
    c.Put(p, "preferences_back");
    Text(p, QRect(20, 44, 112, 18), "Output Device:", kText, 12);
    FakeCombo(p, {140, 40, 233, 24}, "Default output (PulseAudio)");
    Text(p, QRect(20, 74, 112, 18), "Output Frequency:", kText, 12);
    FakeCombo(p, {140, 70, 110, 24}, "44100");
    FakeCombo(p, {20, 130, 16, 16}, QString::fromUtf8(""));
    Text(p, QRect(22, 130, 16, 16), QString::fromUtf8("\u2713"), kAccent, 13, true);
    Text(p, QRect(44, 128, 240, 20), "load last project on start", kText, 12);
    Text(p, QRect(16, 164, 190, 16), "Application Version:  1.01", kTextDim, 11);
    FakeCombo(p, {216, 159, 80, 24}, "    OK");
    FakeCombo(p, {301, 159, 80, 24}, "  Cancel");
    return image;
}

QImage IconSheet(Composer& c)
{
    const char* icons[] = {"icon_fade_in", "icon_volume", "icon_pitch", "icon_tempo", "icon_fade_out",
                           "icon_overlap", "icon_mouse", "icon_any_key", "icon_overlap_gray"};
    const QColor rows[] = {kWell, QColor(0xa0, 0xa0, 0xa0), QColor(0x1d, 0x33, 0x46), Qt::white};
    const int scale = 3;
    QImage image(9 * 34 * scale, 4 * 36 * scale, QImage::Format_RGB32);
    QPainter p(&image);
    for (int r = 0; r < 4; ++r) {
        p.fillRect(QRect(0, r * 36 * scale, image.width(), 36 * scale), rows[r]);
        for (int i = 0; i < 9; ++i) {
            const QImage icon = c.Load(icons[i]);
            p.drawImage(QRect((i * 34 + 1) * scale, (r * 36 + 2) * scale, icon.width() * scale, icon.height() * scale), icon);
        }
    }
    return image;
}

} // namespace

bool WritePreviews(const std::string& folder)
{
    std::filesystem::create_directories(folder);
    Composer c(folder);
    c.Save(StartPage(c), "preview_start");
    c.Save(NewProjectPage(c), "preview_new_project");
    c.Save(ZoneEditorPage(c), "preview_zone_editor");
    const QImage playlist = PlaylistPage(c, false);
    c.Save(playlist, "preview_playlist");
    // Seams between a button and the background it was cut from show only when magnified.
    c.Save(playlist.copy(540, 100, 420, 200).scaled(1260, 600), "preview_playlist_zoom");
    c.Save(PlaylistPage(c, true), "preview_playlist_help");
    c.Save(ExportWindows(c), "preview_export");
    c.Save(TriggerWindows(c), "preview_trigger");
    c.Save(PreferencesWindow(c), "preview_preferences");
    c.Save(IconSheet(c), "preview_icons");
    std::cout << "previews from " << ui::SkinFolder() << " written to " << folder << "\n";
    return c.ok();
}

} // namespace skin

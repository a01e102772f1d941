// A window that places each skinned control of the package (picture button, graphic scroll bar,
// image button, graphic label, beat-grid view) with pictures drawn here, so they can be looked at
// and tried. With "--screenshot FILE" it saves a picture of the window and ends.
#include "AudioControls/class_BPMView.h"
#include "GraphControls/class_GraphButton.h"
#include "GraphControls/class_GraphLabel.h"
#include "GraphControls/class_GraphScroll.h"
#include "GraphControls/class_ImageButton.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <string>
#include <vector>

namespace {

QImage Gradient(QSize size, QColor from, QColor to, const QString& caption = {})
{
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(QColor(20, 20, 30));
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    if (!caption.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(picture.rect(), Qt::AlignCenter, caption);
    }
    return picture;
}

QLabel* Caption(QWidget* parent, const char* text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet("color: #d0d8e8");
    label->move(x, y);
    return label;
}

// A one-second-per-100-px waveform for the beat grid to lie on.
std::vector<int16_t> WaveBlock(int frames)
{
    std::vector<int16_t> block(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        block[static_cast<size_t>(i)] =
            static_cast<int16_t>(12000.0 * std::sin(i * 0.07) * (0.5 + 0.5 * std::sin(i * 0.0009)));
    return block;
}

// The beat grid over a drawn waveform of 30 s, without a file to open.
class GalleryBeatView : public TBPMView {
public:
    using TBPMView::TBPMView;
    float LenSec() const override { return 30.0f; }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Sonorel controls");
    window.resize(720, 420);
    window.setStyleSheet("background: #202634");

    Caption(&window, "Picture button (push, toggle)", 20, 14);
    auto* push = new TGraphButton(&window);
    push->setGeometry(20, 40, 100, 32);
    push->SetImage(Gradient({101, 33}, QColor(90, 120, 200), QColor(40, 60, 120), "Push"));
    push->SetImagePressed(Gradient({101, 33}, QColor(200, 120, 60), QColor(120, 60, 20), "Pushed"));
    auto* toggle = new TGraphButton(&window);
    toggle->setGeometry(140, 40, 100, 32);
    toggle->Sticky = true;
    toggle->SetImage(Gradient({101, 33}, QColor(90, 160, 110), QColor(30, 80, 50), "Toggle"));
    toggle->SetImagePressed(Gradient({101, 33}, QColor(220, 200, 80), QColor(120, 100, 20), "On"));
    toggle->SetDown(true);

    Caption(&window, "Image button", 280, 14);
    auto* image = new ImageButton(&window);
    image->setGeometry(280, 40, 100, 32);
    image->SetPicture(Gradient({100, 32}, QColor(150, 90, 180), QColor(70, 30, 90), "Image"));

    Caption(&window, "Graphic scroll bars", 20, 94);
    const auto makeBar = [&](Qt::Orientation kind, QRect geometry, int position) {
        auto* bar = new TGraphScroll(&window);
        bar->setGeometry(geometry);
        const QSize arrow = kind == Qt::Horizontal ? QSize(18, geometry.height()) : QSize(geometry.width(), 18);
        bar->SetImageTop(Gradient(arrow, QColor(120, 140, 180), QColor(60, 70, 100), kind == Qt::Horizontal ? "<" : "^"));
        bar->SetImageBottom(Gradient(arrow, QColor(120, 140, 180), QColor(60, 70, 100), kind == Qt::Horizontal ? ">" : "v"));
        bar->SetImageBackground(Gradient({8, 8}, QColor(40, 44, 56), QColor(30, 34, 44)));
        bar->SetImageSlider(Gradient(kind == Qt::Horizontal ? QSize(40, geometry.height()) : QSize(geometry.width(), 40),
                                     QColor(210, 170, 90), QColor(140, 100, 40)));
        bar->SetKind(kind);
        bar->Max = 100;
        bar->PageSize = 10;
        bar->Loaded();
        bar->SetPosition(position);
    };
    makeBar(Qt::Horizontal, QRect(20, 120, 360, 18), 30);
    makeBar(Qt::Vertical, QRect(400, 40, 18, 98), 60);

    Caption(&window, "Graphic labels (plain, spaced and smoothed)", 440, 14);
    const auto makeLabel = [&](int y, int spacing, bool smooth) {
        auto* label = new TGraphLabel(&window);
        label->setGeometry(440, y, 260, 28);
        QFont font("DejaVu Sans");
        font.setPixelSize(18);
        label->SetFont(font);
        label->SetBackColor(0x40302A);
        label->SetFontColor(0x8CE0F0);
        label->SetSpacing(spacing);
        label->SetAntiAliasing(smooth);
        label->SetCaption("Sonorel 1:23.4");
    };
    makeLabel(40, 0, false);
    makeLabel(74, 60, false);
    makeLabel(108, 0, true);

    Caption(&window, "Beat-grid view (120 BPM, a marker every 4 beats)", 20, 160);
    const std::vector<int16_t> wave = WaveBlock(441 * 30);
    auto* beats = new GalleryBeatView(&window);
    beats->setGeometry(20, 186, 680, 210);
    beats->SetMemBuffer(wave.data(), static_cast<int64_t>(wave.size() * 2));
    beats->SetBPMStartCue(1.0f);
    beats->SetBPM(120.0f);

    window.show();
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf("--screenshot"); at >= 0 && at + 1 < args.size()) {
        QTimer::singleShot(300, [&] {
            window.grab().save(args[at + 1]);
            app.quit();
        });
    }
    return app.exec();
}

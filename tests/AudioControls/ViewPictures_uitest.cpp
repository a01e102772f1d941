#include <cstdint>
#include <vector>

#include <QDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "AudioControls/class_MarkersWavView.h"
#include "support/sample_block.h"

// Builds the views a person sees (a wave with a selection, zones, markers and the ruler, whole
// and zoomed in), checks that every element reaches the picture, and, when
// SONOREL_SCREENSHOT_DIR is set, saves the pictures there for a look.
namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 20;

void Decorate(TMarkersWavView& view, const std::vector<std::int16_t>& block)
{
    view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
    view.TotalTime = kSeconds;
    view.TimeLineShow = true;
    view.SetColorPCM(0x48DF2F);
    view.ColorSelectionPCM = 0x3A8316;
    view.SetSelStart(0.30f);
    view.SetSelLen(0.12f);
    view.AddZone("Intro", 0.05f, 0.15f);
    view.AddZone("", 0.55f, 0.2f);
    cMarker* cue = view.Markers.Add();
    cue->Pos = 0.418f;
    cue->Caption = "cue";
    cue->Color = 0x00D7FF;
    cue->Dotted = false;
    cue->LineWidth = 2;
    cue->CaptionLowered = true;
    cMarker* beat = view.Markers.Add();
    beat->Pos = 0.4185f;
    beat->TicksOnly = true;
    beat->Color = 0xFFFFFF;
    view.Redraw();
}

int CountColour(const QImage& image, TColor colour)
{
    const QRgb wanted = ui::ToQColor(colour).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == wanted;
    return n;
}

void SaveIfAsked(const QImage& image, const char* name)
{
    const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromUtf8(dir));
    EXPECT_TRUE(image.save(QString::fromUtf8(dir) + "/" + name));
}

TEST(ViewPictures, WholeAndZoomedViewsShowEveryElement)
{
    const std::vector<std::int16_t> block = sonorel_test::SweepNoiseBlock(kRate * kSeconds, 2, kRate, 30, 3000);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* whole = new TMarkersWavView;
    auto* zoomed = new TMarkersWavView;
    for (TMarkersWavView* view : {whole, zoomed}) {
        view->setFixedSize(960, 200);
        layout->addWidget(view);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Decorate(*whole, block);
    Decorate(*zoomed, block);
    zoomed->SetViewStart(0.414f);
    zoomed->SetViewLen(0.01f);

    const QImage wholePicture = whole->grab().toImage();
    const QImage zoomedPicture = zoomed->grab().toImage();
    SaveIfAsked(wholePicture, "views_whole.png");
    SaveIfAsked(zoomedPicture, "views_zoomed.png");
    SaveIfAsked(window.grab().toImage(), "views_window.png");

    for (const QImage& picture : {wholePicture, zoomedPicture}) {
        EXPECT_GT(CountColour(picture, 0x48DF2F), 1000);      // wave
        EXPECT_GT(CountColour(picture, 0x3A8316), 200);       // wave in the selection
        EXPECT_GT(CountColour(picture, 0xFFFFFF), 1000);      // selection background, captions
        EXPECT_GT(CountColour(picture, 0x808080), 20);        // ruler labels
        EXPECT_GT(CountColour(picture, 0x00D7FF), 300);       // the solid cue marker
    }
    EXPECT_GT(CountColour(wholePicture, 0x0606CE), 200);      // zone markers
}

} // namespace

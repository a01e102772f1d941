// The audio view: loading a file (once per name, not while locked), a failed open that leaves the
// view without an image and names the failure, seconds and fractions, playing from the cursor or the
// selection, the play marker's refresh, and the pictures a person sees (saved when
// SONOREL_SCREENSHOT_DIR is set).

#include <gtest/gtest.h>

#include <cmath>

#include <QDir>
#include <QTest>
#include <QVBoxLayout>

#include "AudioControls/class_AudioView.h"
#include "support/audio_fixtures.h"
#include "support/ui_waits.h"

using namespace sonorel_test;

namespace {

class AudioViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        BASS_ManualOutputEnable(true);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        folder = FixtureFolder();
        song = folder + "/song.wav";
        ASSERT_TRUE(WriteAudioFile(song, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 20.0}), 44100, 2));
        view = std::make_unique<TAudioView>();
        view->resize(960, 200);
        view->Store().CacheFolder = folder + "/cache";
        view->OnFileOpen = [this](QObject* sender) {
            EXPECT_EQ(sender, view.get());
            ++opens;
        };
    }
    void TearDown() override
    {
        view.reset();
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }
    void Pump(int frames)
    {
        std::vector<int16_t> block(size_t(frames) * 2);
        BASS_ManualOutputPump(block.data(), uint32_t(frames));
    }

    std::string folder, song;
    std::unique_ptr<TAudioView> view;
    int opens = 0;
};

TEST_F(AudioViewTest, LoadsOncePerNameAndNotWhileLocked)
{
    int viewChanges = 0;
    view->OnViewChange = [&](QObject*) { EXPECT_EQ(opens, 0) << "the image reaches the view before OnFileOpen"; ++viewChanges; };
    view->SetFileName(song);
    EXPECT_EQ(opens, 1);
    EXPECT_GE(viewChanges, 1);
    EXPECT_EQ(view->FileName(), song);
    EXPECT_EQ(view->MemBuffer(), view->Store().GetMemStart());
    EXPECT_EQ(view->MemLength(), 20 * 882);
    EXPECT_FLOAT_EQ(view->LenSec(), 20.0f);
    EXPECT_FLOAT_EQ(view->SecToPos(5.0f), 0.25f);
    EXPECT_FLOAT_EQ(view->PosToSec(0.5f), 10.0f);
    EXPECT_FALSE(view->Store().OptCacheImage) << "CacheAudioImage is off by default";

    view->OnViewChange = nullptr;
    view->SetFileName(song);
    EXPECT_EQ(opens, 1) << "the name already shown";

    const std::string other = folder + "/other.wav";
    ASSERT_TRUE(WriteAudioFile(other, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 1, 4.0}), 44100, 1));
    view->FileLocked = true;
    view->SetFileName(other);
    EXPECT_EQ(view->FileName(), song);
    view->FileLocked = false;
    view->CacheAudioImage = true;
    view->SetFileName(other);
    EXPECT_EQ(opens, 2);
    EXPECT_TRUE(view->Store().OptCacheImage);
    EXPECT_EQ(view->MemLength(), 4 * 882);

    view->DisplayFileZone(other, 1.0f, 2.0f);
    EXPECT_EQ(opens, 2) << "the same file: only view and selection change";
    EXPECT_FLOAT_EQ(view->ViewStart(), 0.25f);
    EXPECT_FLOAT_EQ(view->ViewLen(), 0.5f);
    EXPECT_EQ(view->SelLen(), 0.0f);
}

// Light pixels: text in the font colour (a view without a file is otherwise dark).
bool HasLightPixels(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) > 160)
                return true;
    return false;
}

TEST_F(AudioViewTest, FailedOpenLeavesTheStoresEmptyImageForgetsTheNameAndNamesTheFailure)
{
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->SetFileName(song);
    view->Store().WaitLoaded();
    const std::string missing = folder + "/missing.wav";
    try {
        view->SetFileName(missing);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), kFileNotFound + missing + ".");
    }
    EXPECT_EQ(view->MemBuffer(), nullptr);
    EXPECT_EQ(view->MemLength(), 0);
    view->Redraw(); // reads nothing freed (the sanitizer build checks)
    EXPECT_EQ(view->FileName(), "");
    EXPECT_EQ(view->LoadFailure(), kFileNotFound + missing + ".");
    EXPECT_TRUE(HasLightPixels(view->Picture())) << "the failure is written where the waveform would be";
    EXPECT_THROW(view->SetFileName(missing), std::runtime_error) << "a name that failed is tried again";
    EXPECT_EQ(opens, 1);
    view->Play();
    EXPECT_FALSE(view->Player().IsPlaying()) << "nor the last file's sound";

    view->SetFileName(""); // no file: nothing failed, nothing to say
    EXPECT_EQ(view->LoadFailure(), "");
    EXPECT_FALSE(HasLightPixels(view->Picture()));
    EXPECT_THROW(view->SetFileName(missing), std::runtime_error);
    view->SetFileName(song);
    EXPECT_EQ(view->LoadFailure(), "");
}

TEST_F(AudioViewTest, RefreshDrawsOnlyWhileTheImageFillsOrTheMarkerMoves)
{
    view->show();
    view->SetFileName(song);
    view->Store().WaitLoaded();
    view->OnRefreshTimer(); // the image has filled: drawn once more
    const qint64 idle = view->Picture().cacheKey();
    view->OnRefreshTimer();
    view->OnRefreshTimer();
    EXPECT_EQ(view->Picture().cacheKey(), idle) << "nothing new, nothing drawn";
    EXPECT_FALSE(view->RefreshRunning()) << "nothing to follow: the timer rests";
    view->Play(0.2f);
    EXPECT_TRUE(view->RefreshRunning());
    Pump(4410);
    view->OnRefreshTimer();
    EXPECT_NE(view->Picture().cacheKey(), idle) << "the play marker moved";
    view->Stop();
}

TEST_F(AudioViewTest, PlaysFromTheCursorOrTheSelectionAndTheMarkerFollows)
{
    view->Play();
    EXPECT_FALSE(view->Player().IsPlaying()) << "no file";
    view->SetFileName(song);
    ASSERT_EQ(view->PlayMarker(), view->Markers.At(0));
    EXPECT_FALSE(view->PlayMarker()->Dotted);

    view->SetSelStart(0.5f);
    view->Play(-1.0f);
    EXPECT_TRUE(view->Player().IsPlaying());
    EXPECT_FLOAT_EQ(view->Player().GetPos(), 0.5f) << "from the cursor";
    Pump(44100);
    view->OnRefreshTimer();
    EXPECT_NEAR(view->PlayMarker()->Pos, 0.55f, 0.001f);
    view->Stop();
    view->OnRefreshTimer();
    EXPECT_EQ(view->PlayMarker()->Pos, -1.0f) << "hidden when stopped";

    view->Play(0.1f);
    view->PlayMarkerUpdate = false;
    view->PlayMarker()->Pos = 0.3f;
    view->OnRefreshTimer();
    EXPECT_EQ(view->PlayMarker()->Pos, 0.3f);
    view->Stop();

    view->SetSelStart(0.25f);
    view->SetSelLen(0.05f); // 1 s
    view->PlaySelection();
    Pump(44100 + 1000);
    EXPECT_FALSE(view->Player().IsPlaying());
    EXPECT_FLOAT_EQ(view->Player().GetPos(), 0.3f);

    view->LoopSelection(true);
    Pump(44100 * 3 + 500);
    EXPECT_TRUE(view->Player().IsPlaying());
    EXPECT_GE(view->Player().GetPos(), 0.25f);
    EXPECT_LT(view->Player().GetPos(), 0.3f);
    view->SetLoop(0.5f, 0.6f);
    Pump(44100 + 1000);
    EXPECT_GE(view->Player().GetPos(), 0.5f) << "the next restart takes the new loop";
    view->Stop();
}

void SaveIfAsked(QWidget& window, const char* name)
{
    const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromUtf8(dir));
    EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/" + name));
}

TEST_F(AudioViewTest, PictureOfALoadedFileWithSelectionMarkersAndZones)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* whole = new TAudioView;
    auto* zoomed = new TAudioView;
    for (TAudioView* v : {whole, zoomed}) {
        v->Store().CacheFolder = folder + "/cache";
        v->setFixedSize(960, 220);
        v->TimeLineShow = true;
        v->SetColorPCM(0x48DF2F);
        v->ColorSelectionPCM = 0x3A8316;
        layout->addWidget(v);
        v->SetFileName(song);
        v->Store().WaitLoaded();
        v->SetSelStart(0.30f);
        v->SetSelLen(0.12f);
        v->AddZone("Intro", 0.05f, 0.15f);
        v->AddZone("", 0.55f, 0.2f);
        cMarker* cue = v->Markers.Add();
        cue->Pos = 0.418f;
        cue->Caption = "cue";
        cue->Color = 0x00D7FF;
        cue->Dotted = false;
        cue->CaptionLowered = true;
    }
    zoomed->SetViewStart(0.28f);
    zoomed->SetViewLen(0.2f);
    whole->Play(0.36f);
    Pump(4410);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WaitUntil([&] { return std::abs(whole->PlayMarker()->Pos - 0.365f) <= 0.001f; }); // the refreshes draw it
    EXPECT_NEAR(whole->PlayMarker()->Pos, 0.365f, 0.001f) << "0.1 s played";
    for (TAudioView* v : {whole, zoomed}) {
        EXPECT_TRUE(v->Markers.At(1)->CaptionShown || v == zoomed) << "the Intro zone is in the whole view";
        EXPECT_FALSE(v->Picture().isNull());
    }
    SaveIfAsked(window, "audioview_whole_and_zoomed.png");
    whole->Stop();
}

} // namespace

// The playlist page's row commands: the double-click dispatch by the part of the row, the pop-up's
// items and keys, Edit Zone, Remove and Clear Playlist (and their refusals while playing), the
// editor pictures dropped on a row or on themselves, and editors that change nothing when only
// opened and closed.
#include "editor_fixture.h"

#include "AudioControls/class_AudioMixTable.h"
#include "GraphControls/class_SkinPicture.h"
#include "windows/editor_controls.h"
#include "windows/form_MixView.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/frame_reposedit.h"
#include "support/ui_waits.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QTableWidget>
#include <QWindow>

#include <cmath>

using namespace editor_test;

namespace {

class RowCommandsTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        AddThreeRows();
        ShowRows(0);
    }
    // Which editor a call opened (and closed again at once).
    QWidget* OpenedBy(const std::function<void()>& call)
    {
        return WhileModal({FormTransition, FormTransformation, FormMixView}, call);
    }
};

TEST_F(RowCommandsTest, DoubleClickOpensWhatThePartOfTheRowMeans)
{
    cBin* bin = snl.Bins.Add();
    bin->filename = SongFile();
    cBinItem* zone = bin->Items.Add();
    zone->filename = SongFile();
    zone->start = 10.0f;
    zone->length = 8.0f;
    ShowRows(1);
    const struct {
        int part;
        QWidget* opened;
        int page;
    } cases[] = {
        {TFramePlaylist::PartOverlap, FormTransition, PagePlaylistIndex},
        {TFramePlaylist::PartVolume, FormTransformation, PagePlaylistIndex},
        {TFramePlaylist::PartSpeed, FormTransformation, PagePlaylistIndex},
        {TFramePlaylist::PartPitch, FormTransformation, PagePlaylistIndex},
        {TFramePlaylist::PartFadeIn, FormTransformation, PagePlaylistIndex},
        {TFramePlaylist::PartFadeOut, FormTransformation, PagePlaylistIndex},
        {TFramePlaylist::PartRow, nullptr, PageBinEditIndex},
        {TFramePlaylist::PartTime, nullptr, PageBinEditIndex},
    };
    for (const auto& c : cases) {
        FormMain->ShowPage(PagePlaylistIndex);
        ShowRows(1);
        FormMain->PagePlaylist->PlaylistEdit->DragPart = c.part;
        EXPECT_EQ(OpenedBy([] { FormMain->PagePlaylist->PlaylistEdit->DoubleClickEventTimer(); }), c.opened) << c.part;
        EXPECT_EQ(FormMain->Pages->currentIndex(), c.page) << c.part;
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RowCommandsTest, PopupHoldsTheItemsInOrderAndTheirKeysWork)
{
    QStringList captions;
    for (QAction* action : FormMain->PagePlaylist->PlaylistPopup->actions())
        captions << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(captions.join("|").toStdString(),
              "Play from Here|-|Edit Zone|Edit Transformation|Edit Transition|-|No Trigger|Trigger by Mouse|"
              "Trigger by Keyboard|-|Remove|Clear Playlist");
    // The keys act while the grid has the focus in the active main window.
    auto press = [](Qt::Key key) {
        FormMain->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormMain));
        FormMain->PagePlaylist->PlaylistEdit->Grid->setFocus();
        QTest::keyClick(FormMain->PagePlaylist->PlaylistEdit->Grid, key);
    };
    EXPECT_EQ(OpenedBy([&] { press(Qt::Key_F4); }), FormTransformation);
    EXPECT_EQ(OpenedBy([&] { press(Qt::Key_F5); }), FormTransition);
    press(Qt::Key_Delete);
    EXPECT_EQ(snl.mixdata.Count(), 2);
}

TEST_F(RowCommandsTest, TheLastRowHasNoTransitionAndAMissingRowNoCommand)
{
    ShowRows(2);
    EXPECT_EQ(OpenedBy([] { FormMain->TransitionDblClick(); }), nullptr);
    snl.SelectedRow = 5;
    for (auto command : {&TFormMain::TransitionDblClick, &TFormMain::TransformationDblClick, &TFormMain::EditZoneClick,
                         &TFormMain::Delete1Click})
        EXPECT_EQ(OpenedBy([command] { (FormMain->*command)(); }), nullptr);
    EXPECT_EQ(snl.mixdata.Count(), 3);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RowCommandsTest, EditZoneFindsTheZoneByFileAndExactBounds)
{
    for (int b = 0; b < 2; ++b) {
        cBin* bin = snl.Bins.Add();
        bin->title = "bin " + std::to_string(b);
        bin->filename = SongFile();
    }
    auto addZone = [](int bin, float start, float length) {
        cBinItem* zone = snl.Bins.Get(bin)->Items.Add();
        zone->title = "renamed";
        zone->filename = SongFile();
        zone->start = start;
        zone->length = length;
    };
    addZone(0, 10.01f, 8.0f); // moved by a hundredth: not this one
    addZone(1, 0.0f, 4.0f);
    addZone(1, 10.0f, 8.0f);
    ShowRows(1);
    FormMain->EditZoneClick();
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex);
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->currentRow(), 1);
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->Row(), 1);
    EXPECT_TRUE(messages.Texts().empty());

    FormMain->ShowPage(PagePlaylistIndex);
    ShowRows(2);
    FormMain->EditZoneClick();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't find the zone in bins."});
    EXPECT_EQ(FormMain->Pages->currentIndex(), PagePlaylistIndex);
}

TEST_F(RowCommandsTest, RemoveAndClearLeaveOneGridRowAndAreRefusedWhilePlaying)
{
    ShowRows(1);
    snl.Playing = 1;
    snl.WavProducer.Stopped = 0;
    FormMain->Delete1Click();
    FormMain->ClearPlaylist1Click();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Can't delete while playing.", "Can't do it while playing."}));
    EXPECT_EQ(snl.mixdata.Count(), 3);
    StopPreview();

    const std::string third = RowFields(*snl.mixdata.Get(2));
    FormMain->Delete1Click();
    ASSERT_EQ(snl.mixdata.Count(), 2);
    EXPECT_EQ(RowFields(*snl.mixdata.Get(1)), third);
    EXPECT_EQ(FormMain->PagePlaylist->PlaylistEdit->Grid->rowCount(), 2);
    for (int left : {1, 0}) {
        FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(0);
        FormMain->Delete1Click();
        EXPECT_EQ(snl.mixdata.Count(), left);
    }
    EXPECT_EQ(FormMain->PagePlaylist->PlaylistEdit->Grid->rowCount(), 1);

    AddRow(0, 5);
    AddRow(0, 5);
    ShowRows(0);
    FormMain->ClearPlaylist1Click();
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(FormMain->PagePlaylist->PlaylistEdit->Grid->rowCount(), 1);
    FormMain->ClearPlaylist1Click();
    EXPECT_EQ(FormMain->PagePlaylist->PlaylistEdit->Grid->rowCount(), 1);
}

TEST_F(RowCommandsTest, TransitionDroppedOnARowOpensTheEditorOnItAndTheNext)
{
    QWindow* window = FormMain->windowHandle();
    QTableWidget* grid = FormMain->PagePlaylist->PlaylistEdit->Grid;
    const QPoint from = FormMain->PagePlaylist->Transition->mapTo(FormMain, QPoint(20, 20));
    const QPoint rowOne = grid->viewport()->mapTo(FormMain, QPoint(20, grid->rowViewportPosition(1) + 5));
    int openedOn = -1;
    QWidget* opened = WhileModal({FormTransition, FormTransformation}, [&] {
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        QTest::mouseMove(window, from + QPoint(10, 0));
        QTest::mouseMove(window, rowOne);
        QTest::mouseRelease(window, Qt::LeftButton, {}, rowOne);
    }, [&] { openedOn = FormTransition->RowIndex; });
    EXPECT_EQ(opened, FormTransition);
    EXPECT_EQ(openedOn, 1);

    // Dropped on itself while the mix plays: refused with the message.
    snl.WavProducer.Stopped = 0;
    FormMain->PagePlaylist->EditorPictureDragDrop(FormMain->PagePlaylist->Transition, FormMain->PagePlaylist->Transition);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't do it while playing."});
    StopPreview();
}

TEST_F(RowCommandsTest, OpeningAndClosingAnEditorChangesNoRow)
{
    cMixRow& a = *snl.mixdata.Get(0);
    a.MixParams.speed = 7.5f;
    a.MixParams.pitch = -1500;
    a.MixParams.volume = 137;
    a.overlap = true;
    a.overlaplen = 1.25f;
    a.MixParams.fadeout = true;
    a.MixParams.fadeoutlength = 0.333f;
    snl.mixdata.Get(1)->MixParams.fadeinlength = 4.0f;
    snl.mixdata.Get(1)->trigger = TriggerMouse;
    snl.mixdata.Get(2)->MixParams.speed = -85.0f;
    const auto before = AllRowFields();
    EXPECT_EQ(OpenedBy([] { FormMain->TransitionDblClick(); }), FormTransition);
    EXPECT_EQ(OpenedBy([] { FormMain->TransformationDblClick(); }), FormTransformation);
    auto after = AllRowFields();
    // The one intended effect: a row overlapped by the one before waits for no trigger.
    snl.mixdata.Get(1)->trigger = TriggerMouse;
    EXPECT_EQ(AllRowFields(), before);
    EXPECT_EQ(OpenedBy([] { FormMain->MixViewMenuClick(); }), FormMixView);
    EXPECT_EQ(AllRowFields(), before);
    EXPECT_NE(after, before);
}

// What closing an editor does to what plays. The transition editor stops it. The transformation
// editor stops its own preview (that plays one row alone, every other row muted) but not a mix
// played from the playlist before it opened. The mix view stops nothing: the main window shows
// that mix and stops it. Either way the position timer stops and the preview is emptied.
TEST_F(RowCommandsTest, ClosingAnEditorStopsOnlyWhatItsWindowSays)
{
    const struct {
        QDialog* form;
        void (TFormMain::*open)();
        std::function<void()> play;
        bool previewPlaysOn;
        bool playlistMixPlaysOn;
    } editors[] = {
        {FormTransition, &TFormMain::TransitionDblClick, [] { FormTransition->PlayClick(); }, false, false},
        {FormTransformation, &TFormMain::TransformationDblClick, [] { FormTransformation->PlayClick(); }, false, true},
        {FormMixView, &TFormMain::MixViewMenuClick, [] { FormMixView->PlayClick(); }, true, true},
    };
    for (const auto& e : editors)
        for (const bool fromPlaylist : {false, true}) {
            const std::string name = e.form->objectName().toStdString() + (fromPlaylist ? ", playlist's mix" : ", preview");
            if (fromPlaylist)
                FormMain->PlayClick();
            auto* preview = e.form->findChild<TPreviewLoop*>();
            ASSERT_TRUE(preview);
            bool timerRan = false;
            const QWidget* opened = WhileModal({e.form}, [&] { (FormMain->*e.open)(); },
                                               [&] {
                                                   timerRan = preview->PosTimer->isActive();
                                                   if (!fromPlaylist)
                                                       e.play();
                                                   ASSERT_FALSE(snl.WavProducer.Stopped) << name;
                                               });
            ASSERT_EQ(opened, e.form) << name;
            EXPECT_TRUE(timerRan) << name;
            EXPECT_EQ(!snl.WavProducer.Stopped, fromPlaylist ? e.playlistMixPlaysOn : e.previewPlaysOn) << name;
            EXPECT_FALSE(preview->PosTimer->isActive()) << name;
            EXPECT_EQ(e.form->findChild<TAudioMixTable*>()->AudioViewCount(), 0) << name;
            StopPreview();
        }
}

// The editors open 40 pixels above the main window, but never with their title strip (and its
// Close button) above the top of the screen.
TEST_F(RowCommandsTest, EditorsOpenAboveTheMainWindowButOnTheScreen)
{
    const QRect screen = FormMain->screen()->availableGeometry();
    const struct {
        int mainTop;
        int editorTop;
    } cases[] = {{screen.top(), screen.top()}, {screen.top() + 10, screen.top()}, {screen.top() + 100, screen.top() + 60}};
    for (const auto& c : cases) {
        FormMain->move(screen.left() + 20, c.mainTop);
        WAIT_EQ(FormMain->y(), c.mainTop);
        for (QWidget* editor : std::vector<QWidget*>{FormTransition, FormTransformation}) {
            QPoint placedAt(-1, -1);
            WhileModal({editor}, [&] { editor == FormTransition ? FormMain->TransitionDblClick() : FormMain->TransformationDblClick(); },
                       [&] { placedAt = editor->pos(); });
            EXPECT_EQ(placedAt, QPoint(screen.left() + 20, c.editorTop)) << editor->objectName().toStdString() << " main top " << c.mainTop;
        }
    }
}

// Rows a person should never make but files can hold: nothing crashes, hangs or draws from NaN
// in any editor, at any zoom.
TEST_F(RowCommandsTest, EditorsSurviveRowsOfEveryOddShape)
{
    snl.mixdata.Clear();
    AddRow(5.0f, 0.0f);                     // a zone saved from an empty selection
    AddRow(0.0f, 10800.0f)->MixParams.speed = -85.0f; // three hours, slowed down
    cMixRow* fast = AddRow(1.0f, 20.0f);
    fast->MixParams.speed = 200.0f;
    fast->MixParams.pitch = -12000;
    fast->MixParams.fadein = fast->MixParams.fadeout = true;
    fast->MixParams.fadeinlength = fast->MixParams.fadeoutlength = 500.0f;
    fast->overlap = true;
    fast->overlaplen = 400.0f;
    AddRow(2.0f, 3.0f)->MixParams.pitch = 12000;
    AddRow(1.0f, 2.0f)->filename = SongFile() + ".missing";
    for (int row = 0; row < 4; ++row) {
        ShowRows(row);
        for (QWidget* form : {static_cast<QWidget*>(FormTransition), static_cast<QWidget*>(FormTransformation)}) {
            TAudioMixTable* mix = form == FormTransition ? FormTransition->Mix : FormTransformation->Mix;
            if (form == FormTransformation) {
                FormTransformation->Prepare();
            } else if (row == 3) {
                EXPECT_ANY_THROW(FormTransition->Prepare()) << "its next row's file is missing";
            } else {
                FormTransition->Prepare();
            }
            for (int i = 0; i < 100; ++i)
                mix->ZoomIn();
            form->grab();
            for (int i = 0; i < 120; ++i)
                mix->ZoomOut();
            form->grab();
            EXPECT_TRUE(std::isfinite(mix->ViewStart()) && std::isfinite(mix->ViewLen())) << row;
            static_cast<QDialog*>(form)->done(0);
        }
    }
    EXPECT_ANY_THROW(FormMixView->ShowWholeMix());
    snl.mixdata.Delete(4);
    FormMixView->ShowWholeMix();
    FormMixView->grab();
    FormMixView->done(0);
}

} // namespace

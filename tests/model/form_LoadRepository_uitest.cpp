#include "model/form_LoadRepository.h"

#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <map>
#include <functional>

namespace {

// Whether the part of the cell that the grid shows holds drawn text: pixels far from the colour
// that most of the shown cell has (its background, plain or selected).
bool ShowsText(QTableWidget* grid, int row, int column)
{
    const QRect shown = grid->visualRect(grid->model()->index(row, column)).intersected(grid->viewport()->rect());
    if (shown.isEmpty())
        return false;
    const QImage picture = grid->viewport()->grab(shown).toImage();
    std::map<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ++counts[picture.pixel(x, y)];
    const QColor background = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                                  return a.second < b.second;
                              })->first;
    int ink = 0;
    for (const auto& [rgb, count] : counts) {
        const QColor c(rgb);
        if (std::abs(c.lightness() - background.lightness()) > 60)
            ink += count;
    }
    return ink >= 4;
}

std::vector<std::string> Titles(const cAnyList<cBin>& bins)
{
    std::vector<std::string> titles;
    for (const auto& bin : bins)
        titles.push_back(bin->title);
    return titles;
}

// Another project of two bins (three zones), written by the project's own writer; one bin's
// source may be missing.
class BinImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = sonorel_test::FixtureFolder();
        song = folder + "/song.wav";
        sonorel_test::WriteBytes(song, "sound");
        snl.Bins.Clear();
        snl.mixdata.Clear();
        changes = 0;
        snl.OnChange = [this](QObject*) { ++changes; };
        other = WriteProject("other.snmx", {{"Drums", song, 2}, {"Bass \xC3\xA9", song, 1}});
        window = std::make_unique<TFormLoadRepository>();
    }

    void TearDown() override
    {
        snl.OnChange = nullptr;
        snl.Bins.Clear();
    }

    struct BinSpec {
        std::string title;
        std::string file;
        int zones;
    };
    std::string WriteProject(const std::string& name, const std::vector<BinSpec>& bins)
    {
        cSonorelApp project;
        for (const BinSpec& spec : bins) {
            cBin* bin = project.Bins.Add();
            bin->title = spec.title;
            bin->filename = spec.file;
            for (int i = 0; i < spec.zones; ++i)
                *bin->Items.Add() = cBinItem{spec.title + " #" + std::to_string(i + 1), spec.file, float(i), 1.5f};
        }
        const std::string path = folder + "/" + name;
        project.SaveToFile(path);
        return path;
    }

    // Loads the project with the window's user acting once it is shown.
    void Import(const std::string& path, std::function<void()> user)
    {
        QTimer::singleShot(0, window.get(), [this, user] {
            if (window->isVisible())
                user();
        });
        window->LoadProject(path);
    }
    void ClickRow(int row, int column = 0)
    {
        const QRect cell = window->Grid->visualRect(window->Grid->model()->index(row, column))
                               .intersected(window->Grid->viewport()->rect());
        QTest::mouseClick(window->Grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // What the grid shows of each row: the mark column's text and the title column's text as
    // drawn (empty when nothing is drawn there).
    std::vector<std::pair<bool, bool>> ShownRows()
    {
        std::vector<std::pair<bool, bool>> rows;
        for (int row = 0; row < window->Grid->rowCount(); ++row)
            rows.emplace_back(ShowsText(window->Grid, row, 0), ShowsText(window->Grid, row, 1));
        return rows;
    }

    ui::MessageRecorder messages;
    std::string folder, song, other;
    int changes = 0;
    std::unique_ptr<TFormLoadRepository> window;
};

TEST_F(BinImportTest, OkImportsEveryMarkedBinAfterTheOpenProjectsBinsAndAnnouncesItOnce)
{
    snl.Bins.Add()->title = "Mine";
    Import(other, [this] {
        EXPECT_EQ(window->windowTitle(), "Load Repository");
        EXPECT_EQ(window->Grid->item(0, 0)->text(), "Import");
        EXPECT_EQ(window->Grid->item(1, 1)->text().toStdString(), "Bass \xC3\xA9");
        EXPECT_EQ(window->Grid->columnWidth(0), 64);
        window->OKBtn->click();
    });
    EXPECT_EQ(Titles(snl.Bins), (std::vector<std::string>{"Mine", "Drums", "Bass \xC3\xA9"}));
    EXPECT_EQ(snl.Bins.At(1)->Items.Count(), 2);
    EXPECT_EQ(snl.Bins.At(1)->Items.At(1)->start, 1.0f);
    EXPECT_EQ(snl.Bins.At(1)->Items.At(1)->length, 1.5f);
    EXPECT_EQ(changes, 1);

    Import(other, [this] { window->OKBtn->click(); });
    EXPECT_EQ(snl.Bins.Count(), 5) << "importing again yields each bin twice";

    snl.Bins.At(1)->Items.At(0)->title = "renamed here";
    EXPECT_EQ(window->Repository.Bins.At(0)->Items.At(0)->title, "Drums #1") << "independent copies";
}

TEST_F(BinImportTest, ClicksToggleTheMarksAndOnlyMarkedBinsComeIn)
{
    Import(other, [this] {
        ClickRow(0);
        EXPECT_EQ(window->Grid->item(0, 0)->text(), "");
        ClickRow(1);
        ClickRow(1);
        EXPECT_EQ(window->Grid->item(1, 0)->text(), "Import") << "a second click restores the mark";
        window->OKBtn->click();
    });
    EXPECT_EQ(Titles(snl.Bins), (std::vector<std::string>{"Bass \xC3\xA9"}));

    Import(other, [this] {
        ClickRow(0);
        ClickRow(1);
        window->OKBtn->click();
    });
    EXPECT_EQ(snl.Bins.Count(), 1);
    EXPECT_EQ(changes, 2) << "OK with no mark still announces";

    Import(other, [this] { window->CancelBtn->click(); });
    EXPECT_EQ(snl.Bins.Count(), 1);
    EXPECT_EQ(changes, 2) << "cancel announces nothing";
}

// A click on a title makes that cell current, and the grid brings the current cell into view
// (half a second after a click, at once on a key): the marks and titles must stay in sight,
// also when the window opens again.
TEST_F(BinImportTest, MarksAndTitlesStayInSightAfterAClickAndOnTheNextOpening)
{
    using Shown = std::vector<std::pair<bool, bool>>;
    Import(other, [this] {
        EXPECT_EQ(ShownRows(), (Shown{{true, true}, {true, true}}));
        ClickRow(0, 1);
        window->Grid->scrollTo(window->Grid->currentIndex()); // what the grid does after the click
        EXPECT_EQ(window->Grid->item(0, 0)->text(), "");
        EXPECT_EQ(ShownRows(), (Shown{{false, true}, {true, true}})) << "only the clicked mark is gone";
        QTest::keyClick(window->Grid, Qt::Key_Down);
        EXPECT_EQ(ShownRows(), (Shown{{false, true}, {true, true}}));
        window->CancelBtn->click();
    });
    Import(other, [this] {
        EXPECT_EQ(ShownRows(), (Shown{{true, true}, {true, true}})) << "the second opening";
        window->CancelBtn->click();
    });
}

TEST_F(BinImportTest, ProjectsWithoutBinsMissingOrCorruptImportNothing)
{
    const std::string missingSource = WriteProject("gone.snmx", {{"Gone", folder + "/gone.wav", 1}, {"Here", song, 0}});
    const std::string noBins = WriteProject("empty.snmx", {});
    const std::string corrupt = folder + "/corrupt.snmx";
    sonorel_test::WriteBytes(corrupt, "<sonorel.mix><bin title=\"x\"");
    const std::string nowhere = folder + "/nowhere.snmx";

    Import(missingSource, [this] {
        EXPECT_EQ(window->Grid->rowCount(), 2) << "a bin without its source stays, as in any loaded project";
        window->OKBtn->click();
    });
    EXPECT_EQ(Titles(snl.Bins), (std::vector<std::string>{"Gone", "Here"}));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("Source audio file doesn't exist:\n" + folder + "/gone.wav\n", 0), 0u);

    const struct {
        std::string path;
        std::string message;
    } refusals[] = {
        {noBins, "No repositories found in the project."},
        {nowhere, "XML Load: file doesn't exist" + nowhere},
    };
    for (const auto& r : refusals) {
        messages.Clear();
        bool shown = false;
        Import(r.path, [&shown] { shown = true; });
        EXPECT_FALSE(shown) << r.path;
        EXPECT_EQ(messages.Texts(), (std::vector<std::string>{r.message})) << r.path;
    }
    EXPECT_THROW(window->LoadProject(corrupt), cXMLStorageError);
    EXPECT_EQ(snl.Bins.Count(), 2);
    EXPECT_EQ(changes, 1);
}

} // namespace

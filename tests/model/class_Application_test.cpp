#include "model/class_Application.h"

#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/trace_lines.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace sonorel_test;

namespace {

// A fresh folder per test, with helpers for source files and project files in it.
class ProjectFileTest : public ::testing::Test {
protected:
    fs::path dir;
    ui::MessageRecorder messages;
    cSonorelApp project;
    int changes = 0;

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sonorel-model-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        project.OnChange = [this](QObject* sender) {
            EXPECT_EQ(sender, nullptr);
            ++changes;
        };
    }
    void TearDown() override { fs::remove_all(dir); }

    // An (empty) audio file that exists, so the loader keeps the entries that name it.
    std::string Source(const std::string& name)
    {
        const fs::path path = dir / name;
        WriteBytes(path, "");
        return path.string();
    }
    std::string ProjectFile(const std::string& name, const std::string& bytes)
    {
        const fs::path path = dir / name;
        WriteBytes(path, bytes);
        return path.string();
    }
    std::vector<std::string> FolderEntries() const { return FileNames(dir); }
};

cMixRow* AddRow(cSonorelApp& app, const std::string& name, const std::string& file)
{
    cMixRow* row = app.mixdata.Add();
    row->name = name;
    row->filename = file;
    return row;
}

cBin* AddBin(cSonorelApp& app, const std::string& title, const std::string& file)
{
    cBin* bin = app.Bins.Add();
    bin->title = title;
    bin->filename = file;
    return bin;
}

cBinItem* AddItem(cBin& bin, const std::string& title, const std::string& file, float start, float length)
{
    cBinItem* item = bin.Items.Add();
    *item = {title, file, start, length};
    return item;
}

std::string Repeated(const std::string& piece, int times)
{
    std::string out;
    out.reserve(piece.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// A project with every field set, in texts that need escaping or are not ASCII.
void FillEveryField(cSonorelApp& app, const std::vector<std::string>& sources)
{
    cMixRow* first = AddRow(app, "Intro – „Café“ ♫ 日本", sources[0]);
    first->start = 0.1f;
    first->length = 3.7f;
    first->MixParams = {80, -1500, 12.5f, true, 0.5f, true, 1.25f};
    first->overlap = true;
    first->overlaplen = 2.0f;
    first->trigger = TriggerMouse;
    cMixRow* second = AddRow(app, "Tab\there & \"quotes\" <b>\nnew line", sources[1]);
    second->start = 123456.7f;
    second->length = 0.00005f;
    second->MixParams = {200, 12000, -85.0f, false, 0, true, 3.0f};
    second->trigger = TriggerKey;
    cMixRow* third = AddRow(app, "", sources[0]);
    third->MixParams.speed = 199.99f;
    third->overlap = true;
    third->overlaplen = 30.0f; // longer than the row: the next one starts earlier
    AddRow(app, "plain", sources[2]);
    cBin* bin = AddBin(app, "Bin ♪ 'single' & \"double\"", sources[0]);
    AddItem(*bin, "Zone 1", sources[0], 0.25f, 3);
    AddItem(*bin, "Zöne 2 <&>", sources[1], 1e-7f, 1e20f);
    AddBin(app, "Empty bin", sources[2]);
}

void ExpectSameProject(const cSonorelApp& a, const cSonorelApp& b)
{
    ASSERT_EQ(a.mixdata.Count(), b.mixdata.Count());
    for (int32_t i = 0; i < a.mixdata.Count(); ++i) {
        const cMixRow& x = *a.mixdata.At(i);
        const cMixRow& y = *b.mixdata.At(i);
        EXPECT_EQ(x.name, y.name) << i;
        EXPECT_EQ(x.filename, y.filename) << i;
        EXPECT_EQ(x.start, y.start) << i;
        EXPECT_EQ(x.length, y.length) << i;
        EXPECT_EQ(x.MixParams.volume, y.MixParams.volume) << i;
        EXPECT_EQ(x.MixParams.pitch, y.MixParams.pitch) << i;
        EXPECT_EQ(x.MixParams.speed, y.MixParams.speed) << i;
        EXPECT_EQ(x.MixParams.fadein, y.MixParams.fadein) << i;
        EXPECT_EQ(x.MixParams.fadeinlength, y.MixParams.fadeinlength) << i;
        EXPECT_EQ(x.MixParams.fadeout, y.MixParams.fadeout) << i;
        EXPECT_EQ(x.MixParams.fadeoutlength, y.MixParams.fadeoutlength) << i;
        EXPECT_EQ(x.overlap, y.overlap) << i;
        EXPECT_EQ(x.overlaplen, y.overlaplen) << i;
        EXPECT_EQ(x.trigger, y.trigger) << i;
    }
    ASSERT_EQ(a.Bins.Count(), b.Bins.Count());
    for (int32_t i = 0; i < a.Bins.Count(); ++i) {
        const cBin& x = *a.Bins.At(i);
        const cBin& y = *b.Bins.At(i);
        EXPECT_EQ(x.title, y.title);
        EXPECT_EQ(x.filename, y.filename);
        ASSERT_EQ(x.Items.Count(), y.Items.Count());
        for (int32_t j = 0; j < x.Items.Count(); ++j) {
            EXPECT_EQ(x.Items.At(j)->title, y.Items.At(j)->title);
            EXPECT_EQ(x.Items.At(j)->filename, y.Items.At(j)->filename);
            EXPECT_EQ(x.Items.At(j)->start, y.Items.At(j)->start);
            EXPECT_EQ(x.Items.At(j)->length, y.Items.At(j)->length);
        }
    }
}

TEST(ProjectObject, GlobalProjectIsBuiltWithoutAnApplicationObjectAndHasItsDefaults)
{
    // Tests run without QApplication: reaching here shows the construction made no widget.
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(snl.FileName, "");
    EXPECT_EQ(snl.AskOnClose, 1);
    EXPECT_EQ(snl.TimeDisplayMode, 0);
    EXPECT_EQ(snl.SelectedRow, 0);
    EXPECT_EQ(snl.Enabled, 1);
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(snl.Bins.Count(), 0);
    EXPECT_EQ(snl.Playing, 0);
    EXPECT_FALSE(snl.OnChange);
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(snl.WavProducer.ObeyTriggers, 1);
    EXPECT_EQ(snl.WavProducer.WaitState, 0);
    EXPECT_EQ(snl.WavProducer.mixdata, nullptr);
    for (const cFileDialogSettings* dialog : {&snl.OpenDialog, &snl.SaveDialog}) {
        EXPECT_EQ(dialog->Filter, "Sonorel Mix|*.snmx");
        EXPECT_EQ(dialog->DefaultExt, "snmx");
    }
    EXPECT_EQ(snl.SaveDialog.DialogMode, cFileDialogSettings::Mode::Save);
}

TEST_F(ProjectFileTest, WritesElementsAttributesAndIndentation)
{
    EXPECT_EQ(project.SaveToText(), "<?xml version=\"1.0\"?>\n<sonorel.mix />\n");
    cMixRow* row = AddRow(project, "Intro", "/music/a b.wav");
    row->start = 1.5f;
    row->length = 10;
    row->MixParams = {80, -1500, 2.5f, true, 0.5f, false, 0};
    row->overlap = true;
    row->overlaplen = 2;
    row->trigger = TriggerMouse;
    AddItem(*AddBin(project, "A & B", "/music/a b.wav"), "Zone 1", "/music/a b.wav", 0.25f, 3);
    EXPECT_EQ(project.SaveToText(),
              "<?xml version=\"1.0\"?>\n"
              "<sonorel.mix>\n"
              "   <fragment name=\"Intro\" filename=\"/music/a b.wav\" start=\"1.5\" length=\"10\" pitch=\"-1500\" "
              "speed=\"2.5\" volume=\"80\" fadein=\"True\" fadeinlength=\"0.5\" fadeout=\"False\" fadeoutlength=\"0\" "
              "overlap=\"True\" overlaplen=\"2\" trigger=\"1\" />\n"
              "   <bin title=\"A &amp; B\" filename=\"/music/a b.wav\">\n"
              "      <item title=\"Zone 1\" filename=\"/music/a b.wav\" start=\"0.25\" length=\"3\" />\n"
              "   </bin>\n"
              "</sonorel.mix>\n");
}

TEST_F(ProjectFileTest, EveryFieldSurvivesSaveLoadSaveByteForByte)
{
    const std::vector<std::string> sources = {Source("my song – ü.wav"), Source("Tom & \"Jerry\" 'live'.mp3"),
                                              Source("<odd> name;.flac")};
    FillEveryField(project, sources);
    const std::string first = (dir / "mix ♫ & co.snmx").string();
    project.SaveToFile(first);
    EXPECT_EQ(project.FileName, first);

    cSonorelApp reloaded;
    reloaded.AskOnClose = 0;
    reloaded.LoadFromFile(first);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(reloaded.AskOnClose, 1);
    EXPECT_EQ(reloaded.FileName, first);
    ExpectSameProject(project, reloaded);

    const std::string second = (dir / "again.snmx").string();
    reloaded.SaveToFile(second);
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
    EXPECT_EQ(FolderEntries().size(), sources.size() + 2); // no temporary file left behind
}

TEST_F(ProjectFileTest, ReadingRules)
{
    const std::string src = Source("a.wav");
    const std::string text =
        "<!-- a comment --><anyroot>\n"
        "  <fragment filename='" + src + "'/>\n"                                           // every attribute absent
        "  <Bin filename='" + src + "' volume='12.7' pitch='-3.9' trigger='2.9' speed='-99.5'/>\n" // a row
        "  <?pi data?>text between\n"
        "  <bin title='B' filename='" + src + "'><zone title='z' filename='" + src + "' start='1E-3'/>"
        "<!-- c --><x length='+2'/></bin>\n"
        "  <other name='n' filename='" + src + "' fadein='true' overlap='1' fadeout='FALSE'><deep><er/></deep></other>\n"
        "</anyroot>";
    project.LoadFromFile(ProjectFile("rules.snmx", text));
    EXPECT_TRUE(messages.Texts().empty());
    ASSERT_EQ(project.mixdata.Count(), 3);
    const cMixRow& bare = *project.mixdata.At(0);
    EXPECT_EQ(bare.MixParams.volume, 0); // absent means 0, not the new row's 100
    EXPECT_EQ(bare.name, "");
    EXPECT_FALSE(bare.MixParams.fadein || bare.MixParams.fadeout || bare.overlap);
    const cMixRow& truncated = *project.mixdata.At(1);
    EXPECT_EQ(truncated.MixParams.volume, 12);
    EXPECT_EQ(truncated.MixParams.pitch, -3);
    EXPECT_EQ(truncated.trigger, 2);
    EXPECT_EQ(truncated.MixParams.speed, -99.5f);
    const cMixRow& flags = *project.mixdata.At(2);
    EXPECT_TRUE(flags.MixParams.fadein && flags.overlap);
    EXPECT_FALSE(flags.MixParams.fadeout);
    ASSERT_EQ(project.Bins.Count(), 1);
    const cBin& bin = *project.Bins.At(0);
    ASSERT_EQ(bin.Items.Count(), 2); // any element inside a bin is a zone
    EXPECT_EQ(bin.Items.At(0)->title, "z");
    EXPECT_EQ(bin.Items.At(0)->start, 1e-3f);
    EXPECT_EQ(bin.Items.At(1)->length, 2);
    EXPECT_EQ(changes, 1);
}

TEST_F(ProjectFileTest, EntriesWithoutSourceStayAndOneMessageNamesTheirFiles)
{
    // A music drive mounted elsewhere today: its rows and zones must survive a load and a save.
    const std::string here = Source("here.wav");
    const std::string gone1 = (dir / "gone 1.wav").string();
    const std::string gone2 = (dir / "gone 2.wav").string();
    cSonorelApp original;
    AddRow(original, "r0", gone1);
    AddRow(original, "r1", here);
    AddRow(original, "r2", "");
    AddItem(*AddBin(original, "b0", gone2), "z0", gone2, 1, 2);
    AddBin(original, "b1", here);
    AddBin(original, "b2", gone1);
    const std::string text = original.SaveToText((dir / "missing.snmx").string());
    project.OnChange = [this](QObject*) {
        EXPECT_EQ(messages.Texts().size(), 1u) << "the change is announced after the message";
        ++changes;
    };
    project.LoadFromFile(ProjectFile("missing.snmx", text));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Source audio files don't exist:\n" + gone2 + "\n" + gone1 +
                                                         "\n(no file name)\n\nTheir rows and zones stay in the "
                                                         "project and play silence."});
    ASSERT_EQ(project.mixdata.Count(), 3);
    EXPECT_TRUE(project.mixdata.At(0)->SourceMissing);
    EXPECT_FALSE(project.mixdata.At(1)->SourceMissing);
    EXPECT_TRUE(project.mixdata.At(2)->SourceMissing);
    EXPECT_EQ(project.Bins.Count(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(project.SaveToText(), text);
}

TEST_F(ProjectFileTest, AThousandMissingRowsGiveOneMessageOfReadableLength)
{
    cSonorelApp original;
    for (int i = 0; i < 1000; ++i)
        AddRow(original, "r", (dir / ("gone " + std::to_string(i) + ".wav")).string());
    project.LoadFromFile(ProjectFile("many.snmx", original.SaveToText()));
    ASSERT_EQ(messages.Texts().size(), 1u);
    const std::string text = messages.Texts()[0];
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 23) << text;
    EXPECT_NE(text.find("... and 980 more."), std::string::npos) << text;
    EXPECT_EQ(project.mixdata.Count(), 1000);
}

TEST_F(ProjectFileTest, RelativeSourcesAreTakenFromTheProjectFolder)
{
    // The project and its sources moved together, opened from another working folder.
    fs::create_directories(dir / "mix" / "sources");
    fs::create_directories(dir / "elsewhere");
    for (const char* name : {"mix/a.wav", "mix/sources/b.wav", "c.wav"})
        Source(name);
    const std::string absolute = Source("d.wav");
    struct Case {
        std::string stored;
        std::string resolved;
    } cases[] = {
        {"a.wav", (dir / "mix/a.wav").string()},
        {"sources/b.wav", (dir / "mix/sources/b.wav").string()},
        {"./sources/../a.wav", (dir / "mix/a.wav").string()},
        {"../c.wav", (dir / "c.wav").string()},
        {absolute, absolute},
    };
    cSonorelApp original;
    cBin* bin = AddBin(original, "bin", "a.wav");
    for (const Case& c : cases) {
        AddRow(original, c.stored, c.stored);
        AddItem(*bin, c.stored, c.stored, 0, 1);
    }
    ProjectFile("mix/p.snmx", original.SaveToText());
    const fs::path before = fs::current_path();
    fs::current_path(dir / "elsewhere");
    project.LoadFromFile("../mix/p.snmx"); // a relative project path works as well
    fs::current_path(before);
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    EXPECT_EQ(project.Bins.At(0)->filename, (dir / "mix/a.wav").string());
    ASSERT_EQ(project.mixdata.Count(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(project.mixdata.At(i)->filename, cases[i].resolved) << cases[i].stored;
        EXPECT_EQ(project.Bins.At(0)->Items.At(i)->filename, cases[i].resolved) << cases[i].stored;
        EXPECT_FALSE(project.mixdata.At(i)->SourceMissing) << cases[i].stored;
    }
}

TEST_F(ProjectFileTest, SourcesInsideTheProjectFolderAreSavedRelativeToIt)
{
    const fs::path folder = dir / "mix";
    struct Case {
        std::string source;
        std::string stored;
    } cases[] = {
        {(folder / "a.wav").string(), "a.wav"},
        {(folder / "sources/b c.wav").string(), "sources/b c.wav"},
        {(folder / "sources/../d.wav").string(), "d.wav"},
        {(dir / "outside.wav").string(), (dir / "outside.wav").string()},
        {(dir / "mix2/e.wav").string(), (dir / "mix2/e.wav").string()}, // a folder whose name starts alike
        {folder.string(), folder.string()},
        {"already/relative.wav", "already/relative.wav"},
        {"", ""},
        {(folder / Repeated("d/", 2000)).string() + "x.wav", Repeated("d/", 2000) + "x.wav"},
    };
    cBin* bin = AddBin(project, "bin", cases[0].source);
    for (const Case& c : cases) {
        AddRow(project, "row", c.source);
        AddItem(*bin, "zone", c.source, 0, 1);
    }
    const std::string saved = project.SaveToText((folder / "p.snmx").string());
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(saved.c_str()));
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.child("bin").attribute("filename").value(), "a.wav");
    size_t i = 0;
    for (pugi::xml_node row = root.child("fragment"), item = root.child("bin").child("item"); row && item;
         row = row.next_sibling("fragment"), item = item.next_sibling("item"), ++i) {
        ASSERT_LT(i, std::size(cases));
        EXPECT_EQ(row.attribute("filename").value(), cases[i].stored) << cases[i].source;
        EXPECT_EQ(item.attribute("filename").value(), cases[i].stored) << cases[i].source;
    }
    EXPECT_EQ(i, std::size(cases));
    // Without a file to be relative to, every path is written as the entry holds it.
    EXPECT_NE(project.SaveToText("").find("filename=\"" + cases[0].source + "\""), std::string::npos);
}

TEST_F(ProjectFileTest, AMovedProjectFolderFindsItsSourcesAndKeepsThoseOutside)
{
    const fs::path old = dir / "home" / "mix";
    fs::create_directories(old / "sources");
    const std::string inside = Source("home/mix/sources/a.wav");
    const std::string besides = Source("home/mix/b.wav");
    const std::string outside = Source("outside.wav");
    cSonorelApp original;
    for (const std::string& source : {inside, besides, outside})
        AddItem(*AddBin(original, "bin", source), "zone", source, 0, 1);
    AddRow(original, "inside", inside);
    AddRow(original, "besides", besides);
    AddRow(original, "outside", outside);
    original.SaveToFile((old / "p.snmx").string());
    // The same project as a version that wrote absolute paths saved it.
    ProjectFile("home/mix/absolute.snmx", original.SaveToText(""));

    const fs::path moved = dir / "venue" / "mix copy";
    fs::create_directories(moved.parent_path());
    fs::rename(old, moved);
    const std::vector<std::string> expected = {(moved / "sources/a.wav").string(), (moved / "b.wav").string(),
                                               outside};
    for (const char* file : {"p.snmx", "absolute.snmx"}) {
        project.LoadFromFile((moved / file).string());
        EXPECT_TRUE(messages.Texts().empty()) << file << ": " << messages.Texts()[0];
        ASSERT_EQ(project.mixdata.Count(), 3) << file;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(project.mixdata.At(int32_t(i))->filename, expected[i]) << file;
            EXPECT_FALSE(project.mixdata.At(int32_t(i))->SourceMissing) << file;
            EXPECT_EQ(project.Bins.At(int32_t(i))->filename, expected[i]) << file;
            EXPECT_EQ(project.Bins.At(int32_t(i))->Items.At(0)->filename, expected[i]) << file;
        }
    }
    // Saved again where it now is, the old absolute file becomes portable too.
    project.SaveToFile((moved / "absolute.snmx").string());
    EXPECT_EQ(ReadBytes(moved / "absolute.snmx"), ReadBytes(moved / "p.snmx"));
}

TEST_F(ProjectFileTest, AMissingSourceIsLookedForByTheTrailingPartsOfItsPath)
{
    // The project file lies in "mix"; every stored path names a file that is not where it says.
    const fs::path folder = dir / "mix";
    fs::create_directories(folder / "sources" / "folder.wav");
    fs::create_directories(folder / "deep" / "sources");
    for (const char* name : {"mix/sources/a.wav", "mix/a.wav", "mix/b.wav", "mix/deep/sources/c.wav",
                             "mix/sources/c.wav", "mix/e.wav", "elsewhere.wav"})
        Source(name);
    const std::string old = "/no/such/old home/mix/";
    struct Case {
        std::string stored;
        std::string found; // empty: missing, named with the stored path made absolute
    } cases[] = {
        {old + "sources/a.wav", (folder / "sources/a.wav").string()}, // longest trailing part first
        {old + "sources/b.wav", (folder / "b.wav").string()},
        {old + "deep/sources/c.wav", (folder / "deep/sources/c.wav").string()},
        {old + "sources/folder.wav", ""}, // a folder is no source
        {old + "gone.wav", ""},
        {"sub/e.wav", (folder / "e.wav").string()}, // relative, not where it says
        {"sub/f.wav", ""},
        {(dir / "elsewhere.wav").string(), (dir / "elsewhere.wav").string()}, // present: never looked for
    };
    std::string text = "<sonorel.mix>";
    for (const Case& c : cases)
        text += "<fragment filename='" + c.stored + "'/>";
    project.LoadFromFile(ProjectFile("mix/p.snmx", text + "</sonorel.mix>"));
    std::vector<std::string> missing;
    ASSERT_EQ(project.mixdata.Count(), int32_t(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const cMixRow& row = *project.mixdata.At(int32_t(i));
        const std::string named = fs::path(c.stored).is_absolute() ? c.stored : (folder / c.stored).string();
        EXPECT_EQ(row.filename, c.found.empty() ? named : c.found) << c.stored;
        EXPECT_EQ(row.SourceMissing, c.found.empty()) << c.stored;
        if (c.found.empty())
            missing.push_back(named);
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{MissingSourcesMessage(missing)});
}

// The work of a load's search under the project's folder, as its trace line counts it.
struct SearchWork {
    long long names = -1;        // looked up in the folder tree
    long long systemCalls = -1;  // folders read and entries checked
};

SearchWork TracedSearchWork(const std::vector<std::string>& lines)
{
    SearchWork work;
    for (const std::string& line : lines) {
        long long found = 0, read = 0, checked = 0;
        const size_t counts = line.rfind(": ");
        if (line.rfind("Looked for ", 0) == 0 && counts != std::string::npos &&
            std::sscanf(line.c_str() + counts, ": %lld found; %lld names looked up, %lld folders read, %lld entries checked",
                        &found, &work.names, &read, &checked) == 4)
            work.systemCalls = read + checked;
    }
    return work;
}

TEST_F(ProjectFileTest, DeepMissingPathsAreLookedForWithWorkLinearInTheirLength)
{
    // A damaged or made-up file names sources thousands of folders deep: a start of the path is
    // followed down only as far as the project's folder holds its names, so the work grows with the
    // number of parts, never with its square, and the system is asked once per entry at most.
    constexpr int kFolders = 2000;
    const std::string deep = "/" + Repeated("d/", kFolders);
    struct Case {
        const char* what;
        std::vector<std::string> folderHolds; // files; a name ending in "->" is a link to the folder
        int rows;
        bool distinctPaths;
        std::string found; // under the folder; empty: missing
        long long namesPerPart;
        long long systemCalls;
    } cases[] = {
        {"nothing of it here", {}, 1, false, "", 1, 1},
        {"its file one folder down", {"d/x0.wav"}, 1, false, "d/x0.wav", 2, 4},
        {"a hundred rows of one path", {"d/x0.wav"}, 100, false, "d/x0.wav", 2, 4},
        {"fifty paths, none here", {"d/y.wav"}, 50, true, "", 2 * 50, 4},
        // The system follows at most 40 links in a path: the longest it opens is found.
        {"a folder that holds itself", {"d->", "x0.wav"}, 1, false, "d/", 42, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir / c.what;
        fs::create_directories(folder);
        for (const std::string& name : c.folderHolds) {
            if (name.size() > 2 && name.compare(name.size() - 2, 2, "->") == 0) {
                fs::create_directory_symlink(".", folder / name.substr(0, name.size() - 2));
                continue;
            }
            fs::create_directories((folder / name).parent_path());
            Source(std::string(c.what) + "/" + name);
        }
        std::string text = "<sonorel.mix>";
        for (int row = 0; row < c.rows; ++row)
            text += "<fragment filename='" + deep + "x" + std::to_string(c.distinctPaths ? row : 0) + ".wav'/>";
        TraceLines trace;
        SetTraceTarget(&trace);
        project.LoadFromFile(ProjectFile(std::string(c.what) + "/p.snmx", text + "</sonorel.mix>"));
        SetTraceTarget(nullptr);
        ASSERT_EQ(project.mixdata.Count(), c.rows);
        const cMixRow& row = *project.mixdata.At(0);
        if (c.found.empty()) {
            EXPECT_TRUE(row.SourceMissing);
            EXPECT_EQ(row.filename, deep + "x0.wav");
        } else {
            EXPECT_FALSE(row.SourceMissing);
            EXPECT_EQ(row.filename.rfind((folder / c.found).string(), 0), 0u) << row.filename;
            EXPECT_TRUE(fs::is_regular_file(row.filename)) << row.filename;
        }
        const SearchWork work = TracedSearchWork(trace.Lines());
        EXPECT_GE(work.names, 0) << "the search is traced";
        EXPECT_LE(work.names, c.namesPerPart * (kFolders + 1));
        EXPECT_LE(work.systemCalls, c.systemCalls);
        messages.Clear();
    }
}

TEST_F(ProjectFileTest, TheMissingSourcesMessageShortensPathsTooLongToRead)
{
    const std::string deep = "/" + Repeated("d/", 2000) + "x.wav";
    const std::string accents = "/" + Repeated("\xC3\xA9", 150) + ".wav"; // 155 characters, 305 bytes
    struct Case {
        std::string path;
        std::string listed;
    } cases[] = {
        {"/music/a.wav", "/music/a.wav"},
        {"/" + std::string(99, 'a'), "/" + std::string(99, 'a')}, // 100 characters: whole
        {"/" + std::string(100, 'a'), "/" + std::string(39, 'a') + "\u2026" + std::string(59, 'a')},
        {deep, deep.substr(0, 40) + "\u2026" + deep.substr(deep.size() - 59)},
        {accents, accents.substr(0, 1 + 39 * 2) + "\u2026" + accents.substr(accents.size() - 4 - 55 * 2)},
    };
    for (const Case& c : cases) {
        const std::string text = MissingSourcesMessage({c.path});
        EXPECT_EQ(text, "Source audio file doesn't exist:\n" + c.listed +
                            "\n\nIts rows and zones stay in the project and play silence.");
    }
}

TEST_F(ProjectFileTest, EmptyProjectLoadsAndAnnouncesTheChange)
{
    AddRow(project, "old", Source("old.wav"));
    const std::string path = ProjectFile("empty.snmx", "<sonorel.mix/>");
    project.LoadFromFile(path);
    EXPECT_EQ(project.mixdata.Count(), 0);
    EXPECT_EQ(project.Bins.Count(), 0);
    EXPECT_EQ(project.FileName, path);
    EXPECT_EQ(changes, 1);
}

// A project with content, and a way to see that a failed load or save left it exactly as it was.
class UnchangedProjectTest : public ProjectFileTest {
protected:
    std::string before;
    void SetUp() override
    {
        ProjectFileTest::SetUp();
        FillEveryField(project, {Source("1.wav"), Source("2.wav"), Source("3.wav")});
        project.FileName = "/projects/current.snmx";
        project.AskOnClose = 0;
        before = project.SaveToText();
    }
    void ExpectUnchanged(const std::string& what)
    {
        EXPECT_EQ(project.SaveToText(), before) << what;
        EXPECT_EQ(project.FileName, "/projects/current.snmx") << what;
        EXPECT_EQ(changes, 0) << what;
    }
};

TEST_F(UnchangedProjectTest, MissingProjectFileShowsTheMessageAndChangesNothing)
{
    const std::string path = (dir / "nowhere.snmx").string();
    project.LoadFromFile(path);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"XML Load: file doesn't exist" + path});
    ExpectUnchanged("missing file");
    EXPECT_EQ(project.AskOnClose, 1);
}

TEST_F(UnchangedProjectTest, BadFilesAreRefusedAndChangeNothing)
{
    const std::string src = Source("ok.wav");
    auto row = [&src](const std::string& attributes) {
        return "<sonorel.mix><fragment filename='" + src + "'/><fragment filename='" + src + "' " + attributes +
               "/></sonorel.mix>";
    };
    const std::string valid = project.SaveToText();
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty file", ""},
        {"blanks only", "  \n\t "},
        {"not XML", "hello, world"},
        {"binary", std::string("\x00\x01\xff\xfe\x80garbage", 12)},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"unclosed root", "<sonorel.mix><fragment/>"},
        {"bad number", row("start='abc'")},
        {"comma decimal", row("length='1,5'")},
        {"bad zone number", "<sonorel.mix><bin filename='" + src + "'><item length='x'/></bin></sonorel.mix>"},
        {"nan", row("fadeinlength='nan'")},
        {"infinity", row("overlaplen='inf'")},
        {"float overflow", row("start='1e39'")},
        {"volume 1e30", row("volume='1e30'")},
        {"trigger 1e30", row("trigger='-1e30'")},
        {"pitch 1e30", row("pitch='1e30'")},
        {"speed -100", row("speed='-100'")},
        {"speed -150", row("speed='-150'")},
        {"bad boolean", row("fadein='maybe'")},
        {"empty number", row("volume=''")},
        {"unclosed deep nesting", "<sonorel.mix>" + Repeated("<a>", 200000)},
        {"a million rows", "<sonorel.mix>" + Repeated("<f/>", 1000000) + "</sonorel.mix>"},
        {"too many zones", "<sonorel.mix><bin>" + Repeated("<i/>", 100001) + "</bin></sonorel.mix>"},
        {"odd UTF-16", std::string("\xff\xfe<\x00s\x00", 6) + "\x00"},
    };
    for (const Case& c : cases) {
        const std::string path = ProjectFile("bad.snmx", c.bytes);
        try {
            project.LoadFromFile(path);
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const cXMLStorageError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("XML Load: " + path + ": ", 0), 0u) << e.what();
        }
        EXPECT_TRUE(messages.Texts().empty()) << c.what;
        ExpectUnchanged(c.what);
    }
}

TEST_F(UnchangedProjectTest, FilesThatAreNoProjectFilesAreRefusedUnread)
{
    const fs::path folder = dir / "folder.snmx";
    fs::create_directory(folder);
    const fs::path fifo = dir / "pipe.snmx";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0); // opening it for a blocking read would hang
    const fs::path huge = dir / "huge.snmx";
    WriteBytes(huge, "<sonorel.mix>");
    fs::resize_file(huge, cXMLStorage::MaxFileBytes + 1);
    for (const fs::path& path : {folder, fifo, huge}) {
        EXPECT_THROW(project.LoadFromFile(path.string()), cXMLStorageError) << path;
        ExpectUnchanged(path.string());
    }
}

TEST_F(ProjectFileTest, HostileButWellFormedFilesLoadWithoutHarm)
{
    const std::string src = Source("ok.wav");
    // UTF-16 with a byte order mark holding a non-ASCII name.
    const std::u16string utf16 = u"\xFEFF<sonorel.mix><fragment name=\"Caf\u00e9 \u266B\" filename=\"" +
                                 std::u16string(src.begin(), src.end()) + u"\"/></sonorel.mix>";
    const std::string utf16Bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    struct Case {
        const char* what;
        std::string bytes;
        std::string firstName;
    };
    const std::vector<Case> cases = {
        {"UTF-16", utf16Bytes, "Café ♫"},
        {"deep nesting inside a row",
         "<sonorel.mix><fragment name='deep' filename='" + src + "'>" + Repeated("<a>", 100000) +
             Repeated("</a>", 100000) + "</fragment></sonorel.mix>",
         "deep"},
        {"entity that is never expanded",
         "<!DOCTYPE m [<!ENTITY e 'eeeeeeeeee'>]><sonorel.mix><fragment name='&e;' filename='" + src +
             "'/></sonorel.mix>",
         "&e;"},
        {"NUL reference and control characters",
         "<sonorel.mix><fragment name='a&#1;&#9;b' filename='" + src + "&#0;tail'/></sonorel.mix>", "a\x01\tb"},
    };
    for (const Case& c : cases) {
        changes = 0;
        project.LoadFromFile(ProjectFile("hostile.snmx", c.bytes));
        EXPECT_TRUE(messages.Texts().empty()) << c.what;
        ASSERT_EQ(project.mixdata.Count(), 1) << c.what;
        EXPECT_EQ(project.mixdata.At(0)->name, c.firstName) << c.what;
        EXPECT_EQ(project.mixdata.At(0)->filename, src) << c.what;
        EXPECT_EQ(changes, 1) << c.what;
    }
}

TEST_F(UnchangedProjectTest, FailedSaveKeepsTheOldFileAndTheFileName)
{
    const fs::path target = dir / "kept.snmx";
    WriteBytes(target, "OLD");
    const auto entriesBefore = FolderEntries();

    // The disk fills up in the middle of the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tiny);
    EXPECT_THROW(project.SaveToFile(target.string()), cXMLStorageError);
    setrlimit(RLIMIT_FSIZE, &saved);

    // A value that could never be read back.
    project.mixdata.At(0)->length = NAN;
    EXPECT_THROW(project.SaveToFile(target.string()), cXMLStorageError);
    project.mixdata.At(0)->length = 3.7f;

    // The target is a folder; the target's folder is missing.
    const fs::path folder = dir / "folder.snmx";
    fs::create_directory(folder);
    EXPECT_THROW(project.SaveToFile(folder.string()), cXMLStorageError);
    EXPECT_TRUE(fs::is_directory(folder));
    fs::remove(folder);
    EXPECT_THROW(project.SaveToFile((dir / "no such folder" / "x.snmx").string()), cXMLStorageError);

    EXPECT_EQ(ReadBytes(target), "OLD");
    EXPECT_EQ(FolderEntries(), entriesBefore); // no temporary file left behind
    ExpectUnchanged("failed saves");
}

TEST_F(ProjectFileTest, SaveReplacesTheOldFileAndKeepsItsPermissions)
{
    const fs::path target = dir / "mix.snmx";
    WriteBytes(target, "OLD");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    AddRow(project, "row", "/x.wav");
    project.SaveToFile(target.string());
    EXPECT_EQ(ReadBytes(target), project.SaveToText());
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"mix.snmx"});
    EXPECT_EQ(project.FileName, target.string());
}

TEST_F(ProjectFileTest, SaveThroughALinkReplacesTheLinkedFileAndKeepsTheLink)
{
    const fs::path real = dir / "real.snmx";
    const fs::path link = dir / "link.snmx";
    WriteBytes(real, "OLD");
    fs::create_symlink(real, link);
    AddRow(project, "row", "/x.wav");
    project.SaveToFile(link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), project.SaveToText());
    EXPECT_EQ(project.FileName, link.string());
}

// Makes a locale that writes "," as its decimal separator, if this machine can build one.
bool UseCommaLocale(const fs::path& folder)
{
    fs::create_directories(folder);
    // glibc looks the locale up under its normalised name.
    const std::string command = "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.utf8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !fs::exists(folder / "de_DE.utf8"))
        return false;
    setenv("LOCPATH", folder.c_str(), 1);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return false;
    std::locale::global(std::locale("de_DE.UTF-8"));
    return std::localeconv()->decimal_point[0] == ',';
}

TEST_F(ProjectFileTest, NumbersUseAPointWhateverTheLocale)
{
    const std::vector<std::string> sources = {Source("1.wav"), Source("2.wav"), Source("3.wav")};
    FillEveryField(project, sources);
    const std::string inC = project.SaveToText();
    struct RestoreLocale {
        ~RestoreLocale()
        {
            std::setlocale(LC_ALL, "C");
            std::locale::global(std::locale::classic());
        }
    } restore;
    if (!UseCommaLocale(dir / "locale"))
        GTEST_SKIP() << "no locale with a decimal comma can be built here";
    const std::string inGerman = project.SaveToText();
    EXPECT_EQ(inGerman, inC);
    EXPECT_NE(inGerman.find("start=\"0.100000001490116\""), std::string::npos);
    const std::string path = ProjectFile("de.snmx", inGerman);
    cSonorelApp reloaded;
    reloaded.LoadFromFile(path);
    ExpectSameProject(project, reloaded);
}

} // namespace

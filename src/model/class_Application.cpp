#include "model/class_Application.h"

#include "platform/trace/Trace.h"
#include "platform/trace/UserMessage.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

cSonorelApp snl;

namespace {

namespace fs = std::filesystem;

int32_t ReadAttrInt32(const pugi::xml_attribute& value)
{
    return static_cast<int32_t>(cXMLStorage::ReadAttrTruncated(value, INT32_MIN, INT32_MAX));
}

void ReadRow(const pugi::xml_node& element, cMixRow& row)
{
    row.name = cXMLStorage::ReadAttrString(element.attribute("name"));
    row.filename = cXMLStorage::ReadAttrString(element.attribute("filename"));
    row.start = cXMLStorage::ReadAttrFloat(element.attribute("start"));
    row.length = cXMLStorage::ReadAttrFloat(element.attribute("length"));
    row.MixParams.pitch = cXMLStorage::ReadAttrTruncated(element.attribute("pitch"), INT64_MIN, INT64_MAX);
    row.MixParams.speed = cXMLStorage::ReadAttrFloat(element.attribute("speed"));
    if (row.MixParams.speed <= -100)
        throw cXMLStorageError("Can't use a tempo change of " + FloatText(row.MixParams.speed) + " %");
    row.MixParams.volume = ReadAttrInt32(element.attribute("volume"));
    row.trigger = ReadAttrInt32(element.attribute("trigger"));
    row.MixParams.fadein = cXMLStorage::ReadAttrBool(element.attribute("fadein"));
    row.MixParams.fadeinlength = cXMLStorage::ReadAttrFloat(element.attribute("fadeinlength"));
    row.MixParams.fadeout = cXMLStorage::ReadAttrBool(element.attribute("fadeout"));
    row.MixParams.fadeoutlength = cXMLStorage::ReadAttrFloat(element.attribute("fadeoutlength"));
    row.overlap = cXMLStorage::ReadAttrBool(element.attribute("overlap"));
    row.overlaplen = cXMLStorage::ReadAttrFloat(element.attribute("overlaplen"));
}

void ReadItem(const pugi::xml_node& element, cBinItem& item)
{
    item.title = cXMLStorage::ReadAttrString(element.attribute("title"));
    item.filename = cXMLStorage::ReadAttrString(element.attribute("filename"));
    item.start = cXMLStorage::ReadAttrFloat(element.attribute("start"));
    item.length = cXMLStorage::ReadAttrFloat(element.attribute("length"));
}

// Calls visit for each child element; text, comments and processing instructions are no entries.
template <class Visit>
void ForEachElement(const pugi::xml_node& parent, Visit visit)
{
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element)
            visit(child);
}

// The folder a project file's relative paths start from.
fs::path FolderOf(const std::string& projectPath)
{
    if (projectPath.empty())
        return {};
    std::error_code ec; // a working folder that was removed leaves no folder
    return fs::absolute(projectPath, ec).lexically_normal().parent_path();
}

// How a project file names a source: one inside the project's folder relative to it, so that the
// folder can move with its sources; any other as the entry holds it.
std::string StoredPath(const std::string& path, const fs::path& projectFolder)
{
    if (projectFolder.empty() || !fs::path(path).is_absolute())
        return path;
    const fs::path inside = fs::path(path).lexically_normal().lexically_relative(projectFolder);
    if (inside.empty() || inside == "." || *inside.begin() == "..")
        return path;
    return inside.string();
}

void SetAttr(pugi::xml_node element, const char* name, const std::string& text)
{
    element.append_attribute(name).set_value(text.c_str());
}

void WriteRow(pugi::xml_node element, const cMixRow& row, const fs::path& projectFolder)
{
    auto set = [&element](const char* name, const std::string& text) { SetAttr(element, name, text); };
    set("name", row.name);
    set("filename", StoredPath(row.filename, projectFolder));
    set("start", FloatText(row.start));
    set("length", FloatText(row.length));
    set("pitch", IntText(row.MixParams.pitch));
    set("speed", FloatText(row.MixParams.speed));
    set("volume", IntText(row.MixParams.volume));
    set("fadein", BoolText(row.MixParams.fadein));
    set("fadeinlength", FloatText(row.MixParams.fadeinlength));
    set("fadeout", BoolText(row.MixParams.fadeout));
    set("fadeoutlength", FloatText(row.MixParams.fadeoutlength));
    set("overlap", BoolText(row.overlap));
    set("overlaplen", FloatText(row.overlaplen));
    set("trigger", IntText(row.trigger));
}

void WriteBin(pugi::xml_node element, const cBin& bin, const fs::path& projectFolder)
{
    SetAttr(element, "title", bin.title);
    SetAttr(element, "filename", StoredPath(bin.filename, projectFolder));
    for (const auto& item : bin.Items) {
        pugi::xml_node child = element.append_child("item");
        SetAttr(child, "title", item->title);
        SetAttr(child, "filename", StoredPath(item->filename, projectFolder));
        SetAttr(child, "start", FloatText(item->start));
        SetAttr(child, "length", FloatText(item->length));
    }
}

// Only a file can be a source: a folder or a device of that name is as good as missing.
bool IsSourceFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Where the sources a project file names are on this machine. A relative path is taken from the
// project's folder. A source that is not where the file says is looked for under the project's
// folder by the trailing parts of its path, longest first (".../old/mix/sources/x.ogg" as
// "sources/x.ogg", then "x.ogg"): a folder moved with its sources still plays, even one saved
// with absolute paths. Every stored path is looked up once however many entries name it.
class ProjectSources {
public:
    explicit ProjectSources(fs::path projectFolder) : Folder(std::move(projectFolder)) {}

    // Moves path to where the source is; true when it is nowhere.
    bool Locate(std::string& path)
    {
        const auto [entry, isNew] = Seen.try_emplace(path);
        if (isNew)
            entry->second = Find(path);
        path = entry->second.path;
        return entry->second.missing;
    }

    // Locate; a missing file joins Missing the first time it is met.
    bool LocateOrName(std::string& path)
    {
        const bool missing = Locate(path);
        if (missing && Named.insert(path).second)
            Missing.push_back(path);
        return missing;
    }

    std::vector<std::string> Missing; // in the order first met

private:
    struct Place {
        std::string path;
        bool missing = true;
    };

    Place Find(const std::string& stored) const
    {
        if (stored.empty())
            return {stored, true};
        const fs::path given(stored);
        const fs::path path = given.is_absolute() || Folder.empty() ? given : (Folder / given).lexically_normal();
        if (IsSourceFile(path))
            return {path.string(), false};
        if (std::optional<fs::path> moved = FindInFolder(path)) {
            trace("Source " + path.string() + " found at " + moved->string());
            return {moved->string(), false};
        }
        return {path.string(), true};
    }

    std::optional<fs::path> FindInFolder(const fs::path& path) const
    {
        if (Folder.empty())
            return std::nullopt;
        const fs::path relative = path.lexically_normal().relative_path();
        const std::vector<fs::path> parts(relative.begin(), relative.end());
        for (size_t first = 0; first < parts.size(); ++first) {
            fs::path candidate = Folder;
            for (size_t i = first; i < parts.size(); ++i)
                candidate /= parts[i];
            if (candidate != path && IsSourceFile(candidate))
                return candidate;
        }
        return std::nullopt;
    }

    fs::path Folder;
    std::unordered_map<std::string, Place> Seen; // by the path as stored
    std::unordered_set<std::string> Named;
};

} // namespace

std::string MissingSourcesMessage(const std::vector<std::string>& paths)
{
    // A message box taller than the screen cannot be read or closed: the list is cut short.
    constexpr size_t maxListed = 20;
    std::string text = paths.size() == 1 ? "Source audio file doesn't exist:\n" : "Source audio files don't exist:\n";
    for (size_t i = 0; i < paths.size() && i < maxListed; ++i)
        text += (paths[i].empty() ? std::string("(no file name)") : paths[i]) + "\n";
    if (paths.size() > maxListed)
        text += "... and " + std::to_string(paths.size() - maxListed) + " more.\n";
    text += paths.size() == 1 ? "\nIts rows and zones stay in the project and play silence."
                              : "\nTheir rows and zones stay in the project and play silence.";
    return text;
}


cSonorelApp::cSonorelApp() = default;

cSonorelApp::~cSonorelApp() = default;

void cSonorelApp::Save(pugi::xml_document& doc)
{
    const fs::path projectFolder = FolderOf(SavePath());
    pugi::xml_node root = doc.append_child("sonorel.mix");
    for (const auto& row : mixdata)
        WriteRow(root.append_child("fragment"), *row, projectFolder);
    for (const auto& bin : Bins)
        WriteBin(root.append_child("bin"), *bin, projectFolder);
}

void cSonorelApp::Load(const pugi::xml_document& doc)
{
    // Everything is read into new lists first: a bad element leaves the project as it was.
    cmixdata rows;
    cAnyList<cBin> bins;
    int32_t entries = 0;
    auto count = [&entries] {
        if (++entries > MaxFileEntries)
            throw cXMLStorageError("more than " + std::to_string(MaxFileEntries) +
                                   " rows, bins and zones: this is no project file");
    };
    int32_t position = 0;
    ForEachElement(doc.document_element(), [&](const pugi::xml_node& child) {
        ++position;
        count();
        try {
            if (std::string_view(child.name()) != "bin") {
                ReadRow(child, *rows.Add());
                return;
            }
            cBin* bin = bins.Add();
            bin->title = ReadAttrString(child.attribute("title"));
            bin->filename = ReadAttrString(child.attribute("filename"));
            ForEachElement(child, [&](const pugi::xml_node& element) {
                count();
                ReadItem(element, *bin->Items.Add());
            });
        } catch (const cXMLStorageError& error) {
            throw cXMLStorageError(std::string(error.what()) + " (element " + std::to_string(position) + " of the mix)");
        }
    });
    // The renderer lets go of the old rows before they are replaced.
    WavProducer.Stop();
    Playing = 0;
    mixdata.Swap(rows);
    Bins.Swap(bins);
}

void cSonorelApp::LoadFromFile(const std::string& path)
{
    AskOnClose = 1;
    cXMLStorage::LoadFromFile(path);
}

void cSonorelApp::Loaded()
{
    ProjectSources sources(FolderOf(FileName));
    for (const auto& bin : Bins) {
        bin->SourceMissing = sources.LocateOrName(bin->filename);
        // A zone's file is its bin's: the bin names it.
        for (const auto& item : bin->Items)
            sources.Locate(item->filename);
    }
    for (const auto& row : mixdata)
        row->SourceMissing = sources.LocateOrName(row->filename);
    // Rows and zones of a missing file stay (a music drive may be mounted elsewhere today): one
    // message names the files, and the next save writes the project back whole.
    if (!sources.Missing.empty())
        ShowUserMessage(MissingSourcesMessage(sources.Missing));
    if (OnChange)
        OnChange(nullptr);
}

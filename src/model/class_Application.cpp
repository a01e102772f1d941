#include "model/class_Application.h"

#include "model/class_ProjectSources.h"
#include "platform/trace/UserMessage.h"

#include <cstdint>
#include <string_view>
#include <vector>

cSonorelApp snl;

namespace {

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

void SetAttr(pugi::xml_node element, const char* name, const std::string& text)
{
    element.append_attribute(name).set_value(text.c_str());
}

void WriteRow(pugi::xml_node element, const cMixRow& row, const std::string& projectFolder)
{
    auto set = [&element](const char* name, const std::string& text) { SetAttr(element, name, text); };
    set("name", row.name);
    set("filename", StoredSourcePath(row.filename, projectFolder));
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

void WriteBin(pugi::xml_node element, const cBin& bin, const std::string& projectFolder)
{
    SetAttr(element, "title", bin.title);
    SetAttr(element, "filename", StoredSourcePath(bin.filename, projectFolder));
    for (const auto& item : bin.Items) {
        pugi::xml_node child = element.append_child("item");
        SetAttr(child, "title", item->title);
        SetAttr(child, "filename", StoredSourcePath(item->filename, projectFolder));
        SetAttr(child, "start", FloatText(item->start));
        SetAttr(child, "length", FloatText(item->length));
    }
}

// A path too long to be read in a message keeps its beginning and its end (the file's name),
// joined by "…": a path of thousands of folders would make the message taller than the screen.
std::string ReadablePath(const std::string& path)
{
    constexpr size_t kMost = 100; // characters
    constexpr size_t kHead = 40;
    constexpr size_t kTail = kMost - kHead - 1;
    std::vector<size_t> starts; // of each character (UTF-8)
    for (size_t i = 0; i < path.size(); ++i)
        if ((static_cast<unsigned char>(path[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    if (starts.size() <= kMost)
        return path;
    return path.substr(0, starts[kHead]) + "\u2026" + path.substr(starts[starts.size() - kTail]);
}

} // namespace

std::string MissingSourcesMessage(const std::vector<std::string>& paths)
{
    // A message box taller than the screen cannot be read or closed: the list is cut short.
    constexpr size_t maxListed = 20;
    std::string text = paths.size() == 1 ? "Source audio file doesn't exist:\n" : "Source audio files don't exist:\n";
    for (size_t i = 0; i < paths.size() && i < maxListed; ++i)
        text += (paths[i].empty() ? std::string("(no file name)") : ReadablePath(paths[i])) + "\n";
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
    const std::string projectFolder = ProjectFolderOf(SavePath());
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
    cProjectSources sources(ProjectFolderOf(FileName));
    for (const auto& bin : Bins) {
        bin->SourceMissing = sources.LocateOrName(bin->filename);
        // A zone's file is its bin's: the bin names it.
        for (const auto& item : bin->Items)
            sources.Locate(item->filename);
    }
    for (const auto& row : mixdata)
        row->SourceMissing = sources.LocateOrName(row->filename);
    sources.TraceSearches();
    // Rows and zones of a missing file stay (a music drive may be mounted elsewhere today): one
    // message names the files, and the next save writes the project back whole.
    if (!sources.Missing.empty())
        ShowUserMessage(MissingSourcesMessage(sources.Missing));
    if (OnChange)
        OnChange(nullptr);
}

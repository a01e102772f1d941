#include "model/class_ProjectSources.h"

#include "platform/trace/Trace.h"

#include <sys/stat.h>

#include <algorithm>
#include <bitset>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// An absolute path with no empty, "." or ".." part.
bool IsNormal(std::string_view path)
{
    const auto endsPart = [path](size_t i) { return i == path.size() || path[i] == '/'; };
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        if (endsPart(i + 1))
            return false;
        if (path[i + 1] == '.' && (endsPart(i + 2) || (path[i + 2] == '.' && endsPart(i + 3))))
            return false;
    }
    return true;
}

size_t EndOfPart(std::string_view path, size_t start)
{
    while (start < path.size() && path[start] != '/')
        ++start;
    return start;
}

// The parts of an absolute path without the empty, "." and ".." ones: "/a/./b/../c" gives a, c.
std::vector<std::string_view> NormalParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (size_t start = 0; start < path.size();) {
        const size_t end = EndOfPart(path, start);
        const std::string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    return parts;
}

// A path whose last part is empty, "." or ".." names a folder.
bool NamesAFolder(std::string_view path)
{
    const std::string_view last = path.substr(path.rfind('/') + 1);
    return last.empty() || last == "." || last == "..";
}

std::string Joined(std::string folder, std::string_view name)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    folder.append(name);
    return folder;
}

// "/a/./b/../c/" as "/a/c/": a path that names a folder keeps its final separator.
std::string NormalAbsolutePath(std::string_view path)
{
    std::string normal;
    normal.reserve(path.size() + 1);
    for (const std::string_view part : NormalParts(path))
        normal.append("/").append(part);
    if (normal.empty() || NamesAFolder(path))
        normal += '/';
    return normal;
}

bool IsSourceFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

} // namespace

std::string ProjectFolderOf(const std::string& projectPath)
{
    if (projectPath.empty())
        return {};
    std::error_code ec; // a working folder that was removed leaves no folder
    return fs::absolute(projectPath, ec).lexically_normal().parent_path().string();
}

std::string StoredSourcePath(const std::string& path, const std::string& projectFolder)
{
    if (projectFolder.empty() || path.empty() || path.front() != '/')
        return path;
    const std::string normal = NormalAbsolutePath(path);
    const std::string prefix = Joined(projectFolder, "");
    if (normal.size() <= prefix.size() || normal.compare(0, prefix.size(), prefix) != 0)
        return path; // outside, or the folder itself
    return normal.substr(prefix.size());
}

// What the project's folder holds, learnt as the look-ups need it and kept for the whole load: a
// folder's names are read once and each entry is checked once, so a name the folder does not hold
// costs one look and no call to the system. A start of a path is followed only as deep as the
// folders on disk go, so a path of thousands of parts costs about one look per part.
class cProjectSources::FolderTree {
public:
    enum class Kind { None, File, Folder };
    struct Entry {
        Kind kind = Kind::None;
        int32_t folder = -1; // of a folder
    };
    static constexpr int32_t kRoot = 0;

    explicit FolderTree(std::string root) { Folders.emplace_back(std::move(root)); }

    // What `name` is in the folder `parent`.
    Entry Look(int32_t parent, std::string_view name)
    {
        ++Names;
        Folder& folder = Folders[size_t(parent)];
        if (!folder.listed)
            Read(folder);
        if (folder.listable && !folder.Holds(name))
            return {};
        return Known(parent, name);
    }

    const std::string& PathOf(int32_t folder) const { return Folders[size_t(folder)].path; }

    int64_t Names = 0;
    int64_t FoldersRead = 0;
    int64_t EntriesChecked = 0;

private:
    struct Folder {
        explicit Folder(std::string where) : path(std::move(where)) {}

        void Add(std::string name)
        {
            sketches.set(Sketch(name));
            names.insert(std::move(name));
        }
        // Most names a path holds are told apart by their length and first letter, without hashing.
        bool Holds(std::string_view name) const { return sketches.test(Sketch(name)) && names.count(name); }
        static size_t Sketch(std::string_view name)
        {
            return std::min<size_t>(name.size(), 255) * 256 + static_cast<unsigned char>(name.front());
        }

        std::string path;
        bool listed = false;
        bool listable = true; // a folder that can be passed but not read is asked name by name
        NameSet names;
        std::bitset<256 * 256> sketches;
    };

    Entry Known(int32_t parent, std::string_view name)
    {
        std::string key = std::to_string(parent);
        key.append("/").append(name);
        const auto [known, isNew] = Entries.try_emplace(std::move(key));
        if (isNew)
            known->second = Check(Joined(Folders[size_t(parent)].path, name));
        return known->second;
    }

    void Read(Folder& folder)
    {
        folder.listed = true;
        ++FoldersRead;
        std::error_code ec;
        for (fs::directory_iterator it(folder.path, ec), end; !ec && it != end; it.increment(ec))
            folder.Add(it->path().filename().string());
        folder.listable = !ec;
    }

    // Only a file can be a source: a device of that name is as good as missing.
    Entry Check(std::string path)
    {
        ++EntriesChecked;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            return {};
        if (S_ISREG(info.st_mode))
            return {Kind::File};
        if (!S_ISDIR(info.st_mode))
            return {};
        Folders.emplace_back(std::move(path));
        return {Kind::Folder, int32_t(Folders.size() - 1)};
    }

    std::vector<Folder> Folders; // kRoot first
    std::unordered_map<std::string, Entry> Entries; // by the folder's id, "/", the name
};

cProjectSources::cProjectSources(std::string projectFolder) : Folder(std::move(projectFolder)) {}

cProjectSources::~cProjectSources() = default;

bool cProjectSources::Locate(std::string& path)
{
    const auto [entry, isNew] = Seen.try_emplace(path);
    if (isNew)
        entry->second = Find(path);
    path = entry->second.path;
    return entry->second.missing;
}

bool cProjectSources::LocateOrName(std::string& path)
{
    const bool missing = Locate(path);
    if (missing && Named.insert(path).second)
        Missing.push_back(path);
    return missing;
}

cProjectSources::Place cProjectSources::Find(const std::string& stored)
{
    if (stored.empty() || Folder.empty())
        return {stored, !IsSourceFile(stored)};
    const std::string path = stored.front() == '/' ? stored : NormalAbsolutePath(Joined(Folder, stored));
    if (IsSourceFile(path))
        return {path, false};
    std::string moved;
    if (NamesAFolder(path) || !FindInFolder(IsNormal(path) ? path : NormalAbsolutePath(path), moved))
        return {path, true};
    trace("Source " + path + " found at " + moved);
    return {moved, false};
}

// The longest trailing part of the path (normal, absolute, naming a file) that the folder holds
// as a file. Each start of it is followed down the folder tree only as far as its folders exist:
// most end at their first name, which the folder does not hold.
bool cProjectSources::FindInFolder(std::string_view path, std::string& found)
{
    if (!Tree)
        Tree = std::make_unique<FolderTree>(Folder);
    ++Searched;
    for (size_t start = 1; start < path.size();) {
        const size_t end = EndOfPart(path, start);
        if (Reaches(path, start, end, found)) {
            ++Found;
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Whether the folder holds the parts of path from the one at [start, end) on, the last as a file:
// then found is that file.
bool cProjectSources::Reaches(std::string_view path, size_t start, size_t end, std::string& found)
{
    int32_t folder = FolderTree::kRoot;
    for (;; end = EndOfPart(path, start)) {
        const std::string_view name = path.substr(start, end - start);
        const FolderTree::Entry entry = Tree->Look(folder, name);
        if (end == path.size()) {
            if (entry.kind != FolderTree::Kind::File)
                return false;
            found = Joined(Tree->PathOf(folder), name);
            return true;
        }
        if (entry.kind != FolderTree::Kind::Folder)
            return false;
        folder = entry.folder;
        start = end + 1;
    }
}

void cProjectSources::TraceSearches() const
{
    if (!Tree)
        return;
    trace("Looked for " + std::to_string(Searched) + " sources under " + Folder + ": " + std::to_string(Found) +
          " found; " + std::to_string(Tree->Names) + " names looked up, " + std::to_string(Tree->FoldersRead) +
          " folders read, " + std::to_string(Tree->EntriesChecked) + " entries checked");
}

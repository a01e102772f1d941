#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Paths of a project's sources, as its file stores them and as this machine has them. Every step
// here grows only linearly with a path's length, whatever a damaged or made-up project file holds.

// The absolute folder a project file's relative paths start from; empty without a project path.
std::string ProjectFolderOf(const std::string& projectPath);

// How a project file names a source: one inside the project's folder relative to it, so that the
// folder can move with its sources; any other as the entry holds it.
std::string StoredSourcePath(const std::string& path, const std::string& projectFolder);

// Where the sources a project file names are on this machine. A relative path is taken from the
// project's folder. A source that is not where the file says is looked for under the project's
// folder by the trailing parts of its path, longest first (".../old/mix/sources/x.ogg" as
// "sources/x.ogg", then "x.ogg"): a folder moved with its sources still plays, even one saved
// with absolute paths. Every stored path is looked up once however many entries name it.
class cProjectSources {
public:
    explicit cProjectSources(std::string projectFolder);
    ~cProjectSources();

    // Moves path to where the source is; true when it is nowhere.
    bool Locate(std::string& path);
    // Locate; a missing file joins Missing the first time it is met.
    bool LocateOrName(std::string& path);

    // Traces how much the look-ups under the folder did, when there were any.
    void TraceSearches() const;

    std::vector<std::string> Missing; // in the order first met

private:
    struct Place {
        std::string path;
        bool missing = true;
    };
    class FolderTree;

    Place Find(const std::string& stored);
    bool FindInFolder(std::string_view path, std::string& found);
    bool Reaches(std::string_view path, size_t start, size_t end, std::string& found);

    std::string Folder;
    std::unordered_map<std::string, Place> Seen; // by the path as stored
    std::unordered_set<std::string> Named;
    std::unique_ptr<FolderTree> Tree; // what the folder holds, read as the look-ups need it
    int64_t Searched = 0;
    int64_t Found = 0;
};

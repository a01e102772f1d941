#include "support/test_home.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace sonorel_test {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what, const fs::path& path)
{
    std::fprintf(stderr, "Cannot %s %s: %s\n", what.c_str(), path.c_str(), std::strerror(errno));
    std::exit(1);
}

// The folder where this program runs from inside its home.
fs::path BinFolder(const fs::path& home)
{
    return home / "bin";
}

fs::path MakeFolders()
{
    // Under the caller's temporary folder, named after the program so a kept one is easy to find.
    const fs::path pattern = fs::temp_directory_path() / ("sonorel-" + std::string(program_invocation_short_name) + "-XXXXXX");
    std::string name = pattern.string();
    if (!mkdtemp(name.data()))
        Fail("make a test home from", pattern);
    const fs::path home = name;
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"XDG_CACHE_HOME", "cache"},
                   {"XDG_RUNTIME_DIR", "runtime"}, {"TMPDIR", "tmp"}};
    for (const auto& [variable, folder] : folders) {
        fs::create_directory(home / folder);
        setenv(variable, (home / folder).c_str(), 1);
    }
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory(BinFolder(home));
    setenv("HOME", home.c_str(), 1);
    setenv("SONOREL_TEST_HOME", home.c_str(), 1);
    return home;
}

} // namespace

std::string MakeTestHome(char** argv)
{
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    // The second start, from inside the home the first one made. Compared as files, not as names:
    // the kernel names the program by its real path, which differs from the home's name where the
    // temporary folder is reached through a link, and a second start that missed itself would
    // start again and again.
    const char* made = std::getenv("SONOREL_TEST_HOME");
    std::error_code notThere;
    if (made && fs::equivalent(exe.parent_path(), BinFolder(made), notThere))
        return made;

    const fs::path home = MakeFolders();
    const fs::path link = BinFolder(home) / exe.filename();
    std::error_code error;
    fs::create_hard_link(exe, link, error);
    if (error && !fs::copy_file(exe, link, error))
        Fail("place the test program in", link);
    // Under that name too, so that a death test's child process starts inside this home.
    argv[0] = const_cast<char*>(link.c_str());
    execv(link.c_str(), argv);
    Fail("start", link);
}

void EndTestHome(const std::string& home, bool passed)
{
    if (passed) {
        std::error_code ignored;
        fs::remove_all(home, ignored);
    } else {
        std::fprintf(stderr, "The failed run's files are kept in %s\n", home.c_str());
    }
}

} // namespace sonorel_test

#include "support/test_home.h"

#include <cstdlib>
#include <filesystem>

namespace sonorel_test {

void PrepareTestHome()
{
    namespace fs = std::filesystem;
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const char* dir = std::getenv(var);
        if (!dir || !*dir)
            continue;
        std::error_code ec;
        fs::create_directories(dir, ec);
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
}

} // namespace sonorel_test

#pragma once

#include <string>

namespace sonorel_test {

// Gives this run of the test program a fresh folder of its own and points HOME, the XDG folders
// (XDG_RUNTIME_DIR with mode 0700), TMPDIR and SONOREL_TEST_HOME into it, so that no two runs
// share a file, whatever runs beside them, and nothing lands in a real user's home. The program
// then starts again from a hard link inside that folder (a copy where the folder lies on another
// file system; same process, same arguments), so the files it keeps beside itself (the help file)
// are this run's too. Called first in main, before anything reads the environment. Returns the
// folder.
std::string MakeTestHome(char** argv);

// Removes the folder when every test passed; otherwise keeps it for a look and says where it is.
void EndTestHome(const std::string& home, bool passed);

} // namespace sonorel_test

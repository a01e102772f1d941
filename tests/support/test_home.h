#pragma once

namespace sonorel_test {
// Creates the per-test HOME and XDG folders that CTest points the environment at
// (XDG_RUNTIME_DIR must exist with mode 0700), so nothing lands in a real user's home.
void PrepareTestHome();
}

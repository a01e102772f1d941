#pragma once

#include "disc/class_HTTPQuery.h"

namespace sonorel_test {

// For the cases where the loopback CDDB server stays silent or drips on purpose: the client gives
// up soon. Cases that expect an answer keep the client's own time-outs, which a loopback server
// meets however loaded the machine (with short ones a late-running server thread fails them).
inline const HTTPTimeouts kQuickTimeouts{2000, 500, 1500};

} // namespace sonorel_test

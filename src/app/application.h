#pragma once

#include "platform/services.h"

namespace ticora {

// Builds and shows the window on the given services, then runs until the window is closed.
// Returns the exit status.
int runTicora(Services services);

} // namespace ticora

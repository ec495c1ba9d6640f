#pragma once

namespace ticora {

class Platform;

// Turns the window definition into controls and binds every event to its handler.
void buildMainWindow(Platform &platform);

} // namespace ticora

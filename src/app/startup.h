#pragma once

namespace ticora {

class Platform;

// Runs once the window and all its controls exist: tray icon, look, clock line, and the
// time boxes pre-filled with the time of start-up.
void onWindowCreated(Platform &platform);

// Every second for the program's whole life: refreshes the clock line.
void onClockTick(Platform &platform);

} // namespace ticora

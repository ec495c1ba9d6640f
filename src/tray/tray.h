#pragma once

namespace ticora {

class Platform;

// A minimised window goes to the tray.
void onWindowSizeChanged(Platform &platform);
// A left click on the tray icon (operation type 1) brings the window back, or puts it away.
void onTrayEvent(Platform &platform, int operationType);

} // namespace ticora

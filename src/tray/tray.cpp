#include "tray.h"

#include "platform/platform.h"

namespace ticora {

namespace {

constexpr int normal = 0;
constexpr int minimised = 2;
constexpr int leftClick = 1;

} // namespace

void onWindowSizeChanged(Platform &platform)
{
    // Without a notification area nothing could bring a hidden window back, so there it
    // stays minimised on the taskbar instead.
    if (platform.windowState() == minimised && platform.isTrayAvailable())
        platform.setWindowVisible(false);
}

void onTrayEvent(Platform &platform, int operationType)
{
    if (operationType != leftClick)
        return;
    // A window minimised while there was no notification area waits on the taskbar; once an
    // icon can be clicked, that window counts as put away and the click brings it back.
    if (!platform.isWindowVisible() || platform.windowState() == minimised) {
        platform.setWindowVisible(true);
        platform.setWindowState(normal);
    } else {
        // Minimising is enough: the size-changed event then hides the window.
        platform.setWindowVisible(true);
        platform.setWindowState(minimised);
    }
}

} // namespace ticora

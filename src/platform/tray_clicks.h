#pragma once

#include <QString>

#include <functional>

namespace ticora {

// Some tray hosts open an icon's menu on a single left click instead of activating the icon
// (GNOME Shell's AppIndicator extension), so there the icon carries a menu whose entry does what
// a left click does elsewhere. That host's first click on a fresh icon opens the menu and also
// activates the icon: acting on both would toggle the window twice, so an activation that
// arrives while the menu is open counts as the click that opened it.
class TrayClicks {
public:
    static constexpr int leftClick = 1;

    explicit TrayClicks(std::function<void(int operationType)> onEvent);

    void activated(int operationType);
    void menuOpened();
    void menuClosed();
    void entryChosen();

private:
    std::function<void(int)> m_onEvent;
    bool m_menuOpen = false;
};

// Whether the program behind the tray host, by its process name, opens the menu on a left click.
bool hostOpensMenuOnLeftClick(const QString &hostProgram);

} // namespace ticora

#include "tray_clicks.h"

using namespace Qt::StringLiterals;

namespace ticora {

TrayClicks::TrayClicks(std::function<void(int)> onEvent)
    : m_onEvent(std::move(onEvent))
{}

void TrayClicks::activated(int operationType)
{
    if (!m_menuOpen)
        m_onEvent(operationType);
}

void TrayClicks::menuOpened()
{
    m_menuOpen = true;
}

void TrayClicks::menuClosed()
{
    m_menuOpen = false;
}

void TrayClicks::entryChosen()
{
    m_onEvent(leftClick);
}

bool hostOpensMenuOnLeftClick(const QString &hostProgram)
{
    // Plasma, the Xfce and LXQt panels and XEmbed trays all activate the icon on a left click.
    return hostProgram == u"gnome-shell"_s;
}

} // namespace ticora

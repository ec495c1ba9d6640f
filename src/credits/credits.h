#pragma once

#include <QStringView>

namespace ticora {

class Platform;

// The author's site: the caption of the link in the credits row, and where it leads.
inline constexpr QStringView webAddress = u"https://orvelle.dev";

// A press of the left button on the link opens the address in the browser.
void onLinkPressed(Platform &platform, int x, int y, int keyState);

} // namespace ticora

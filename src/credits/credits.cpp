#include "credits.h"

#include "platform/platform.h"

namespace ticora {

void onLinkPressed(Platform &platform, int, int, int)
{
    platform.openWebAddress(webAddress.toString());
}

} // namespace ticora

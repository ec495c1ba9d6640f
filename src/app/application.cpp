#include "application.h"

#include "platform/platform.h"
#include "ui/builder.h"

#include <QApplication>

namespace ticora {

int runTicora(Services services)
{
    Platform platform(std::move(services));
    buildMainWindow(platform);
    platform.showWindow();
    QApplication::exec();
    return 0;
}

} // namespace ticora

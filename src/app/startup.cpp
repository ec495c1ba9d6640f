#include "startup.h"

#include "platform/platform.h"

using namespace Qt::StringLiterals;

namespace ticora {

namespace {

void showClockLine(Platform &platform)
{
    platform.setCaption(u"标签7"_s, u"当前时间："_s + dateTimeText(platform.now()));
}

} // namespace

void onWindowCreated(Platform &platform)
{
    platform.installTrayIcon(u"TicoraV1.0"_s, u"显示/隐藏窗口"_s);
    platform.setThemedLook(1);
    showClockLine(platform);
    // Each box takes its own reading of the clock.
    platform.setContent(u"编辑框1"_s, QString::number(platform.now().time().hour()));
    platform.setContent(u"编辑框2"_s, QString::number(platform.now().time().minute()));
    platform.setContent(u"编辑框3"_s, QString::number(platform.now().time().second()));
}

void onClockTick(Platform &platform)
{
    showClockLine(platform);
}

} // namespace ticora

#include "reminder.h"

#include "platform/platform.h"

using namespace Qt::StringLiterals;

namespace ticora {

namespace {

void disarm(Platform &platform)
{
    platform.setDisabled(u"按钮1"_s, false);
    platform.setDisabled(u"按钮2"_s, true);
    platform.setInterval(u"时钟1"_s, 0);
}

bool boxMatches(Platform &platform, const QString &box, int now)
{
    return toInteger(platform.content(box)) == now;
}

} // namespace

std::optional<int> toInteger(const QString &text)
{
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

void onArmClicked(Platform &platform)
{
    for (const QString &box : {u"编辑框1"_s, u"编辑框2"_s, u"编辑框3"_s, u"编辑框4"_s}) {
        if (platform.content(box).isEmpty()) {
            platform.messageBox(u"请输入完整信息！"_s, 16, u"错误"_s);
            return;
        }
    }
    platform.setInterval(u"时钟1"_s, 1000);
    platform.setDisabled(u"按钮1"_s, true);
    platform.setDisabled(u"按钮2"_s, false);
    // Loading the audio stack now rather than at the due second lets the music start on time.
    platform.prepareMusic();
}

void onDisarmClicked(Platform &platform)
{
    disarm(platform);
}

void onBrowseClicked(Platform &platform)
{
    platform.showFileDialog(u"通用对话框1"_s);
    const QString chosen = platform.fileName(u"通用对话框1"_s);
    if (!chosen.isEmpty())
        platform.setContent(u"编辑框5"_s, chosen);
}

void onAlarmTick(Platform &platform)
{
    // Each box is read, and the clock read afresh, only as far as the comparison gets.
    if (!boxMatches(platform, u"编辑框1"_s, platform.now().time().hour()))
        return;
    if (!boxMatches(platform, u"编辑框2"_s, platform.now().time().minute()))
        return;
    if (!boxMatches(platform, u"编辑框3"_s, platform.now().time().second()))
        return;

    const QString music = platform.content(u"编辑框5"_s);
    if (!music.isEmpty())
        platform.playMusic(-1, music);
    platform.messageBox(platform.content(u"编辑框4"_s), 64, u"Ticora"_s);
    // However the box was closed, the music stops with it: an alarm that goes on playing
    // after its box is gone has no way left to be silenced.
    platform.stopMusic();
    disarm(platform);
}

} // namespace ticora

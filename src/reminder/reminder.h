#pragma once

#include <QString>

#include <optional>

namespace ticora {

class Platform;

// "确定": arms the reminder once the hour, minute, second and text boxes are filled.
void onArmClicked(Platform &platform);
// "取消": disarms it.
void onDisarmClicked(Platform &platform);
// "浏览": picks the music file.
void onBrowseClicked(Platform &platform);
// Every second while armed: fires the reminder at its exact second.
void onAlarmTick(Platform &platform);

// The integer a box's text denotes; the empty text is 0. A text that denotes no integer the
// program can hold (a lone minus, digits beyond the integer range) gives nothing, and so never
// matches a time.
std::optional<int> toInteger(const QString &text);

} // namespace ticora

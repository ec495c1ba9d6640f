#include "window_definition.h"

#include "app/startup.h"
#include "credits/credits.h"
#include "reminder/reminder.h"
#include "tray/tray.h"

namespace ticora {

namespace {

constexpr QRgb black = 0x000000;
constexpr QRgb blue = 0x0000ff;
constexpr QRgb red = 0xff0000;

constexpr EditBoxSettings timeBox{.centred = true, .integerOnly = true};
constexpr EditBoxSettings textBox{.multiLine = true, .verticalScrollBar = true};

} // namespace

// Outer size 284 x 268 with an ordinary frame and title bar around this client area. The
// narrowest labels hold five full-width characters in 56 pixels: an 11-pixel font fits them.
const WindowDefinition mainWindowDefinition{u"TicoraV2.0", {278, 242}, u":/ticora/ticora.ico", 11};

// From the top of the stack to the bottom: the group box lies beneath the rows it frames.
// clang-format off
const std::array<ControlDefinition, 22> controlDefinitions{{
    {u"通用对话框1", ControlKind::FileDialog, {}, {}, {}, {}, {}, {}, false, 0,
     u"MP3（*.mp3）|*.mp3"},
    {u"按钮3", ControlKind::Button, u"分组框1", {216, 104}, {40, 24}, u"浏览"},
    {u"编辑框5", ControlKind::EditBox, u"分组框1", {72, 104}, {136, 22}, {}},
    {u"标签9", ControlKind::Label, u"分组框1", {8, 103}, {56, 24}, u"播放音乐：", black},
    {u"标签10", ControlKind::Label, {}, {160, 216}, {112, 16}, webAddress, blue},
    {u"标签8", ControlKind::Label, {}, {78, 216}, {72, 16}, u"Orvelle", red},
    {u"标签6", ControlKind::Label, {}, {16, 216}, {56, 16}, u"程序设计：", black},
    {u"时钟2", ControlKind::Timer, {}, {}, {}, {}, {}, {}, false, 1000},
    {u"标签7", ControlKind::Label, {}, {32, 10}, {218, 16}, {}, blue},
    {u"时钟1", ControlKind::Timer, {}, {}, {}, {}, {}, {}, false, 0},
    {u"按钮2", ControlKind::Button, {}, {159, 187}, {56, 24}, u"取消"},
    {u"按钮1", ControlKind::Button, {}, {63, 187}, {56, 24}, u"确定", {}, {}, true},
    {u"编辑框4", ControlKind::EditBox, {}, {79, 88}, {185, 48}, {}, {}, textBox},
    {u"标签5", ControlKind::Label, {}, {16, 88}, {56, 16}, u"提示内容：", black},
    {u"标签4", ControlKind::Label, {}, {248, 56}, {16, 24}, u"秒", black},
    {u"标签3", ControlKind::Label, {}, {188, 56}, {16, 24}, u"分", black},
    {u"标签2", ControlKind::Label, {}, {122, 56}, {16, 24}, u"时", black},
    {u"编辑框3", ControlKind::EditBox, {}, {208, 57}, {34, 20}, {}, {}, timeBox},
    {u"编辑框2", ControlKind::EditBox, {}, {144, 57}, {34, 20}, {}, {}, timeBox},
    {u"编辑框1", ControlKind::EditBox, {}, {78, 57}, {34, 20}, {}, {}, timeBox},
    {u"标签1", ControlKind::Label, {}, {16, 56}, {64, 24}, u"提示时间：", black},
    {u"分组框1", ControlKind::GroupBox, {}, {8, 40}, {264, 136}, u"时间设定", black},
}};
// clang-format on

const std::array<Binding, 9> eventBindings{{
    {{}, Event::Created, &onWindowCreated},
    {u"时钟2", Event::Tick, &onClockTick},
    {u"按钮1", Event::Clicked, &onArmClicked},
    {u"按钮2", Event::Clicked, &onDisarmClicked},
    {u"按钮3", Event::Clicked, &onBrowseClicked},
    {u"时钟1", Event::Tick, &onAlarmTick},
    {{}, Event::SizeChanged, &onWindowSizeChanged},
    {{}, Event::TrayEvent, &onTrayEvent},
    {u"标签10", Event::LeftButtonPressed, &onLinkPressed},
}};

} // namespace ticora

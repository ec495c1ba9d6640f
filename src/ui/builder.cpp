#include "builder.h"

#include "window_definition.h"

#include <QIcon>

namespace ticora {

namespace {

std::optional<QColor> colourOf(std::optional<QRgb> rgb)
{
    return rgb ? std::optional(QColor::fromRgb(*rgb)) : std::nullopt;
}

void addControl(Platform &platform, const ControlDefinition &c)
{
    const QString name = c.name.toString();
    const QString parent = c.parent.toString();
    const QRect geometry(c.position, c.size);
    const QString text = c.text.toString();
    switch (c.kind) {
    case ControlKind::FileDialog:
        platform.addFileDialog(name, c.filter.toString());
        break;
    case ControlKind::Button:
        platform.addButton(name, parent, geometry, text, c.isDefaultButton);
        break;
    case ControlKind::EditBox:
        platform.addEditBox(name, parent, geometry, c.edit);
        break;
    case ControlKind::Label:
        platform.addLabel(name, parent, geometry, text, colourOf(c.textColour));
        break;
    case ControlKind::Timer:
        platform.addTimer(name, c.intervalMs);
        break;
    case ControlKind::GroupBox:
        platform.addGroupBox(name, parent, geometry, text, colourOf(c.textColour));
        break;
    }
}

template <typename... Args> void (*handlerOf(const Binding &b))(Platform &, Args...)
{
    using Function = void (*)(Platform &, Args...);
    const Function *handler = std::get_if<Function>(&b.handler);
    if (!handler)
        qFatal("The handler bound to %s has the wrong parameters for its event",
               qUtf8Printable(b.control.toString()));
    return *handler;
}

void bind(Platform &platform, const Binding &b)
{
    const QString control = b.control.toString();
    switch (b.event) {
    case Event::Created:
        platform.onCreated([&platform, h = handlerOf<>(b)] { h(platform); });
        break;
    case Event::SizeChanged:
        platform.onSizeChanged([&platform, h = handlerOf<>(b)] { h(platform); });
        break;
    case Event::TrayEvent:
        platform.onTrayEvent([&platform, h = handlerOf<int>(b)](int type) { h(platform, type); });
        break;
    case Event::Tick:
        platform.onTick(control, [&platform, h = handlerOf<>(b)] { h(platform); });
        break;
    case Event::Clicked:
        platform.onClicked(control, [&platform, h = handlerOf<>(b)] { h(platform); });
        break;
    case Event::LeftButtonPressed:
        platform.onLeftButtonPressed(
            control, [&platform, h = handlerOf<int, int, int>(b)](int x, int y, int keys) {
                h(platform, x, y, keys);
            });
        break;
    }
}

} // namespace

void buildMainWindow(Platform &platform)
{
    const WindowDefinition &window = mainWindowDefinition;
    platform.setUpWindow(window.caption.toString(), window.clientSize,
                         QIcon(window.iconResource.toString()), window.fontPixelSize);
    // Parents before children; among siblings the definition's order, which is their stacking.
    for (const bool onWindow : {true, false}) {
        for (const ControlDefinition &c : controlDefinitions) {
            if (c.parent.isEmpty() == onWindow)
                addControl(platform, c);
        }
    }
    for (const Binding &b : eventBindings)
        bind(platform, b);
}

} // namespace ticora

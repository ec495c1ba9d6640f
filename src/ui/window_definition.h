#pragma once

#include "platform/platform.h"

#include <QPoint>
#include <QRgb>
#include <QSize>
#include <QStringView>

#include <array>
#include <optional>
#include <variant>

namespace ticora {

// The window is data: its attributes, its controls and which handler answers which event.
// The builder turns this into the window once, at start-up; nothing is created later.

struct WindowDefinition {
    QStringView caption;
    QSize clientSize;
    QStringView iconResource;
    int fontPixelSize; // the controls share the window's font
};

enum class ControlKind { FileDialog, Button, EditBox, Label, Timer, GroupBox };

struct ControlDefinition {
    QStringView name;
    ControlKind kind;
    QStringView parent; // empty: the main window
    QPoint position;    // relative to the parent's top-left corner
    QSize size;
    QStringView text;
    std::optional<QRgb> textColour = std::nullopt;
    EditBoxSettings edit = {};
    bool isDefaultButton = false;
    int intervalMs = 0;
    QStringView filter = {};
};

enum class Event { Created, SizeChanged, TrayEvent, Tick, Clicked, LeftButtonPressed };

using Handler = std::variant<void (*)(Platform &), void (*)(Platform &, int),
                             void (*)(Platform &, int, int, int)>;

struct Binding {
    QStringView control; // empty: the main window
    Event event;
    Handler handler;
};

extern const WindowDefinition mainWindowDefinition;
extern const std::array<ControlDefinition, 22> controlDefinitions;
extern const std::array<Binding, 9> eventBindings;

} // namespace ticora

#pragma once

#include "services.h"

#include <QStringList>
#include <QSystemTrayIcon>

#include <optional>

namespace ticora {

// Why no window can be opened (no X11 or Wayland display to talk to), or nothing if one can.
std::optional<QString> missingDisplay();

// Before the application object exists: the media backend, and X11 under Wayland, where a
// native Wayland window cannot tell that it was minimised and so could never reach the tray.
void prepareDesktopEnvironment();

// After it exists: the program's identity on the desktop, and its lifetime.
void prepareApplication();

// "Description|pattern|Description|pattern" as Qt's name filters, "Description (pattern)".
// Patterns match regardless of case, so a song.MP3 is offered as well as a song.mp3.
QStringList qtNameFilters(const QString &filter);

// The operation type a tray notification reports: 1 for a left click.
int trayOperationType(QSystemTrayIcon::ActivationReason reason);

} // namespace ticora

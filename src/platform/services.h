#pragma once

#include <QDateTime>
#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

namespace ticora {

// The outside world the handlers depend on. Each is a seam: the program runs on the desktop
// implementations, tests hand in controllable ones.

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal: returns once the box is closed; events keep being dispatched meanwhile.
    // Returns 0 for the OK button.
    virtual int show(const QString &text, int style, const QString &title) = 0;
};

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Modal open-file dialog. Returns the chosen file, or an empty text when cancelled.
    virtual QString chooseFile(const QString &filter) = 0;
};

class MusicPlayer {
public:
    virtual ~MusicPlayer() = default;
    // Loads the player's machinery ahead of a likely play(), so that the music starts promptly.
    virtual void prepare() = 0;
    // Starts playing in the background and returns at once; loops < 0 repeats until stop().
    virtual void play(int loops, const QString &path) = 0;
    virtual void stop() = 0;
};

class Browser {
public:
    virtual ~Browser() = default;
    virtual void open(const QString &address) = 0;
};

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // onEvent receives the operation type of each mouse action on the icon: 1 is a left click.
    // Where the tray host opens a menu on a left click rather than passing the click on, the
    // icon carries a menu whose one entry, captioned toggleEntry, counts as that left click.
    virtual void install(const QIcon &icon, const QString &toolTip, const QString &toggleEntry,
                         std::function<void(int)> onEvent)
        = 0;
    // Whether the desktop currently offers a notification area to show the icon in.
    virtual bool hostAvailable() const = 0;
};

struct Services {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<MessageBox> messageBox;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MusicPlayer> player;
    std::unique_ptr<Browser> browser;
    std::unique_ptr<TrayIcon> tray;
};

// The real desktop: local clock, Qt dialogs, Qt Multimedia, the default browser, the system tray.
Services desktopServices();

} // namespace ticora

#pragma once

#include "services.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace ticora {

class MainWindow;
class SecondPulse;

struct EditBoxSettings {
    bool multiLine = false;
    bool verticalScrollBar = false;
    bool centred = false;
    bool integerOnly = false;
};

// The only door to the toolkit. The window builder creates the controls through it; handlers
// then reach them only by name, and reach the clock, dialogs, player, browser and tray only
// through it. Everything a handler reads from a control is a copy it owns.
class Platform : public QObject {
    Q_OBJECT
public:
    explicit Platform(Services services);
    ~Platform() override;

    // Building, in the order the window definition lists the controls. Each new control is
    // stacked below those created before it.
    void setUpWindow(const QString &caption, QSize clientSize, const QIcon &icon,
                     int fontPixelSize);
    void addLabel(const QString &name, const QString &parent, QRect geometry, const QString &text,
                  std::optional<QColor> textColour);
    void addGroupBox(const QString &name, const QString &parent, QRect geometry,
                     const QString &caption, std::optional<QColor> captionColour);
    void addButton(const QString &name, const QString &parent, QRect geometry,
                   const QString &caption, bool isDefault);
    void addEditBox(const QString &name, const QString &parent, QRect geometry,
                    EditBoxSettings settings);
    void addTimer(const QString &name, int intervalMs);
    void addFileDialog(const QString &name, const QString &filter);

    // Event bindings.
    void onCreated(std::function<void()> handler);
    void onSizeChanged(std::function<void()> handler);
    void onTrayEvent(std::function<void(int operationType)> handler);
    void onTick(const QString &timer, std::function<void()> handler);
    void onClicked(const QString &button, std::function<void()> handler);
    void onLeftButtonPressed(const QString &label,
                             std::function<void(int x, int y, int keyState)> handler);

    // Shows the window and then delivers the created event.
    void showWindow();

    // Control properties.
    QString caption(const QString &name) const;
    void setCaption(const QString &name, const QString &text);
    QString content(const QString &name) const;
    void setContent(const QString &name, const QString &text);
    bool isDisabled(const QString &name) const;
    void setDisabled(const QString &name, bool disabled);
    int interval(const QString &timer) const;
    void setInterval(const QString &timer, int intervalMs);
    QString fileName(const QString &fileDialog) const;

    // The main window: visible, and its state (0 normal, 1 maximised, 2 minimised). Showing a
    // hidden window brings it back in the normal state. Should the notification area go away
    // while the window is hidden, the window comes back by itself on the next second.
    bool isWindowVisible() const;
    void setWindowVisible(bool visible);
    int windowState() const;
    void setWindowState(int state);

    // Services.
    QDateTime now() const;
    int messageBox(const QString &text, int style, const QString &title);
    // Shows the file dialog modally; its file name then holds the choice, or the empty text
    // when the dialog was cancelled.
    void showFileDialog(const QString &name);
    void prepareMusic();
    void playMusic(int loops, const QString &path);
    void stopMusic();
    void openWebAddress(const QString &address);
    void installTrayIcon(const QString &toolTip, const QString &toggleEntry);
    bool isTrayAvailable() const;
    // Switches the controls to the desktop's themed look.
    void setThemedLook(int style);

    // For the window builder's checks, tests and screenshots.
    QWidget *window() const;
    QWidget *widget(const QString &name) const;
    SecondPulse &pulse();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Kind { Label, GroupBox, Button, EditBox, Timer, FileDialog };
    struct Timer {
        int intervalMs = 0;
        int secondsSinceTick = 0;
        std::function<void()> onTick;
    };
    struct Control {
        Kind kind;
        QPointer<QWidget> widget;
        Timer timer;
        QString filter;
        QString fileName;
        std::function<void()> onClicked;
        std::function<void(int, int, int)> onLeftButtonPressed;
    };

    Control &add(const QString &name, Kind kind, QWidget *widget);
    Control &control(const QString &name, Kind kind);
    const Control &control(const QString &name, Kind kind) const;
    QWidget *parentWidget(const QString &parent) const;
    void tickTimers();
    void bringBackIfTrayGone();

    Services m_services;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<SecondPulse> m_pulse;
    std::map<QString, Control, std::less<>> m_controls;
    std::vector<QString> m_timerOrder;
    std::function<void()> m_onCreated;
    std::function<void()> m_onSizeChanged;
    std::function<void(int)> m_onTrayEvent;
    QIcon m_icon;
    // Hidden through setWindowVisible(), so that only the tray icon can bring it back.
    bool m_hiddenInTray = false;
};

} // namespace ticora

namespace ticora {

// The date and time to the second, in the standard form the clock line shows.
QString dateTimeText(const QDateTime &dateTime);

} // namespace ticora

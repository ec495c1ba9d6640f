#pragma once

#include "platform/services.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <vector>

namespace ticora::testing {

// A clock that stands still until told to move.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start)
        : m_now(std::move(start))
    {}
    QDateTime now() const override
    {
        ++readings;
        const QDateTime reading = m_now;
        m_now = m_now.addMSecs(stepOnRead);
        return reading;
    }
    void set(const QDateTime &now) { m_now = now; }
    void advanceSecond() { m_now = m_now.addSecs(1); }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

    mutable int readings = 0;
    // Moves the clock on by this much after each reading.
    qint64 stepOnRead = 0;

private:
    mutable QDateTime m_now;
};

struct ShownBox {
    QString text;
    int style;
    QString title;
    bool operator==(const ShownBox &) const = default;
};

// Records each box; whileOpen runs "inside" it, as the event loop would while a real box waits.
class FakeMessageBox final : public MessageBox {
public:
    int show(const QString &text, int style, const QString &title) override
    {
        shown.push_back({text, style, title});
        if (whileOpen)
            whileOpen();
        return result;
    }

    std::vector<ShownBox> shown;
    std::function<void()> whileOpen;
    int result = 0;
};

class FakeFileDialog final : public FileDialog {
public:
    QString chooseFile(const QString &filter) override
    {
        filters << filter;
        if (whileOpen)
            whileOpen();
        return choice;
    }

    QString choice;
    QStringList filters;
    std::function<void()> whileOpen;
};

class FakePlayer final : public MusicPlayer {
public:
    void prepare() override { ++prepared; }
    void play(int loops, const QString &path) override
    {
        log << QStringLiteral("play %1 %2").arg(loops).arg(path);
        playing = path;
    }
    void stop() override
    {
        log << QStringLiteral("stop");
        playing.clear();
    }

    QStringList log;
    QString playing;
    int prepared = 0;
};

class FakeBrowser final : public Browser {
public:
    void open(const QString &address) override { opened << address; }
    QStringList opened;
};

class FakeTray final : public TrayIcon {
public:
    void install(const QIcon &icon, const QString &toolTip, const QString &toggleEntry,
                 std::function<void(int)> onEvent) override
    {
        installedIcon = icon;
        installedToolTip = toolTip;
        installedToggleEntry = toggleEntry;
        m_onEvent = std::move(onEvent);
    }
    bool hostAvailable() const override { return available; }
    // A mouse action on the icon, reported as its operation type.
    void act(int operationType) { m_onEvent(operationType); }

    QIcon installedIcon;
    QString installedToolTip;
    QString installedToggleEntry;
    bool available = true;

private:
    std::function<void(int)> m_onEvent;
};

} // namespace ticora::testing

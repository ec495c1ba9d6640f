#pragma once

#include "fakes.h"
#include "platform/platform.h"
#include "platform/second_pulse.h"
#include "ui/builder.h"

#include <memory>

namespace ticora::testing {

// The real window, built from its definition, on controllable services. The fakes stay
// reachable through the raw pointers after the platform has taken ownership of them.
struct Fixture {
    explicit Fixture(const QDateTime &start = QDateTime(QDate(2026, 12, 11), QTime(9, 5, 7)))
    {
        auto clockOwned = std::make_unique<FakeClock>(start);
        auto boxOwned = std::make_unique<FakeMessageBox>();
        auto dialogOwned = std::make_unique<FakeFileDialog>();
        auto playerOwned = std::make_unique<FakePlayer>();
        auto browserOwned = std::make_unique<FakeBrowser>();
        auto trayOwned = std::make_unique<FakeTray>();
        clock = clockOwned.get();
        box = boxOwned.get();
        dialog = dialogOwned.get();
        player = playerOwned.get();
        browser = browserOwned.get();
        tray = trayOwned.get();
        platform = std::make_unique<Platform>(
            Services{std::move(clockOwned), std::move(boxOwned), std::move(dialogOwned),
                     std::move(playerOwned), std::move(browserOwned), std::move(trayOwned)});
        buildMainWindow(*platform);
    }

    // Moves the clock on by one second and lets the timers tick, as the next second would.
    void nextSecond()
    {
        clock->advanceSecond();
        platform->pulse().wake();
    }

    FakeClock *clock;
    FakeMessageBox *box;
    FakeFileDialog *dialog;
    FakePlayer *player;
    FakeBrowser *browser;
    FakeTray *tray;
    std::unique_ptr<Platform> platform;
};

} // namespace ticora::testing

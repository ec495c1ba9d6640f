#include "credits/credits.h"
#include "fixture.h"
#include "platform/desktop_services.h"
#include "platform/tray_clicks.h"

#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;
using namespace ticora;
using namespace ticora::testing;

namespace {

constexpr int leftClick = 1;

// The roads by which the window gets minimised.
enum class Route {
    // A handler sets the window state to 2 through the platform.
    WindowState,
    // The window system reports it minimised, as after the title-bar button.
    WindowSystem,
    // A left click on the tray icon while the window is shown.
    TrayClick,
};

void minimise(Fixture &f, Route route)
{
    switch (route) {
    case Route::WindowState:
        f.platform->setWindowState(2);
        break;
    case Route::WindowSystem:
        f.platform->window()->windowHandle()->setWindowStates(Qt::WindowMinimized);
        QTRY_VERIFY(f.platform->window()->isMinimized());
        break;
    case Route::TrayClick:
        f.tray->act(leftClick);
        break;
    }
}

void addRoutes()
{
    QTest::addColumn<Route>("route");
    QTest::newRow("window state 2") << Route::WindowState;
    QTest::newRow("window system") << Route::WindowSystem;
    QTest::newRow("tray left click") << Route::TrayClick;
}

bool isShown(const Platform &platform)
{
    return platform.isWindowVisible() && platform.windowState() == 0;
}

bool isHidden(const Platform &platform)
{
    return !platform.isWindowVisible() && platform.windowState() == 2;
}

// The real window on the fakes, shown and started as the program starts it.
struct StartedFixture : Fixture {
    StartedFixture()
    {
        platform->showWindow();
        (void)QTest::qWaitForWindowExposed(platform->window());
    }
};

} // namespace

Q_DECLARE_METATYPE(Route)

class TrayCreditsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void minimisingHidesAndALeftClickRestores_data() { addRoutes(); }
    void minimisingHidesAndALeftClickRestores()
    {
        QFETCH(Route, route);
        StartedFixture f;
        QVERIFY(isShown(*f.platform));
        minimise(f, route);
        QVERIFY(isHidden(*f.platform));
        // The icon stays for the whole run; nothing is installed again.
        QCOMPARE(f.tray->installedToolTip, u"TicoraV1.0"_s);

        f.tray->act(leftClick);
        QVERIFY(isShown(*f.platform));
        // Shown again, it can go away again by any road.
        minimise(f, route);
        QVERIFY(isHidden(*f.platform));
    }

    void otherOperationTypesAreIgnored_data()
    {
        QTest::addColumn<int>("operationType");
        QTest::addColumn<bool>("hiddenFirst");
        for (const int type : {0, 2, 3, 4, -1, 99}) {
            QTest::addRow("type %d while shown", type) << type << false;
            QTest::addRow("type %d while hidden", type) << type << true;
        }
    }
    void otherOperationTypesAreIgnored()
    {
        QFETCH(int, operationType);
        QFETCH(bool, hiddenFirst);
        StartedFixture f;
        if (hiddenFirst)
            minimise(f, Route::WindowState);
        f.tray->act(operationType);
        QCoreApplication::processEvents();
        QVERIFY(hiddenFirst ? isHidden(*f.platform) : isShown(*f.platform));
    }

    void sizeChangeInTheNormalStateLeavesTheWindowAlone()
    {
        StartedFixture f;
        QWidget *window = f.platform->window();
        QResizeEvent resize(window->size(), window->size());
        QCoreApplication::sendEvent(window, &resize);
        f.platform->setWindowState(0);
        QVERIFY(isShown(*f.platform));
    }

    // Hiding a window with no notification area to come back from would lose it for good.
    void withoutATrayHostAMinimisedWindowStaysOnTheTaskbar_data() { addRoutes(); }
    void withoutATrayHostAMinimisedWindowStaysOnTheTaskbar()
    {
        QFETCH(Route, route);
        StartedFixture f;
        f.tray->available = false;
        minimise(f, route);
        QVERIFY(f.platform->isWindowVisible());
        QCOMPARE(f.platform->windowState(), 2);
        f.nextSecond();
        QVERIFY(f.platform->isWindowVisible());
        QCOMPARE(f.platform->windowState(), 2);
    }

    // Minimised while there was no tray, the window waits on the taskbar; once a tray has come,
    // one left click on its icon brings the window back and the next puts it away.
    void aLeftClickBringsBackAWindowMinimisedBeforeTheTrayCame_data()
    {
        QTest::addColumn<Route>("route");
        QTest::newRow("window state 2") << Route::WindowState;
        QTest::newRow("window system") << Route::WindowSystem;
    }
    void aLeftClickBringsBackAWindowMinimisedBeforeTheTrayCame()
    {
        QFETCH(Route, route);
        StartedFixture f;
        f.tray->available = false;
        minimise(f, route);
        f.nextSecond();
        QVERIFY(f.platform->isWindowVisible());
        f.tray->available = true;
        f.nextSecond();

        f.tray->act(leftClick);
        QVERIFY(isShown(*f.platform));
        f.tray->act(leftClick);
        QVERIFY(isHidden(*f.platform));
        f.tray->act(leftClick);
        QVERIFY(isShown(*f.platform));
    }

    void aHiddenWindowComesBackWhenTheTrayGoes()
    {
        StartedFixture f;
        minimise(f, Route::WindowState);
        f.nextSecond();
        QVERIFY(isHidden(*f.platform));
        f.tray->available = false;
        f.nextSecond();
        QVERIFY(isShown(*f.platform));
        // Back with a tray, it goes away as before.
        f.tray->available = true;
        f.tray->act(leftClick);
        QVERIFY(isHidden(*f.platform));
    }

    void anAlertWhileHiddenLeavesTheWindowHidden()
    {
        StartedFixture f; // 09:05:07
        f.platform->setContent(u"编辑框1"_s, u"9"_s);
        f.platform->setContent(u"编辑框2"_s, u"5"_s);
        f.platform->setContent(u"编辑框3"_s, u"8"_s);
        f.platform->setContent(u"编辑框4"_s, u"Tea"_s);
        QTest::mouseClick(f.platform->widget(u"按钮1"_s), Qt::LeftButton);
        minimise(f, Route::TrayClick);
        bool hiddenWhileOpen = false;
        f.box->whileOpen = [&] { hiddenWhileOpen = isHidden(*f.platform); };
        f.nextSecond();
        QCOMPARE(f.box->shown, (std::vector<ShownBox>{{u"Tea"_s, 64, u"Ticora"_s}}));
        QVERIFY(hiddenWhileOpen);
        QVERIFY(isHidden(*f.platform));
    }

    void aLeftPressOnTheLinkOpensTheAddressOnce()
    {
        Fixture f;
        auto *link = qobject_cast<QLabel *>(f.platform->widget(u"标签10"_s));
        QVERIFY(link);
        QCOMPARE(link->text(), webAddress.toString());
        QVERIFY(webAddress.startsWith(u"https://"));
        // It looks like the rest of the row but for its colour: no underline, no hand.
        QVERIFY(!link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);

        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(f.browser->opened, QStringList{webAddress.toString()});
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(f.browser->opened.size(), 1);
        QTest::mousePress(link, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 10));
        QCOMPARE(f.browser->opened, QStringList(2, webAddress.toString()));
    }

    void otherPressesOpenNothing_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("caption, left") << u"标签6"_s << Qt::LeftButton;
        QTest::newRow("author, left") << u"标签8"_s << Qt::LeftButton;
        QTest::newRow("link, right") << u"标签10"_s << Qt::RightButton;
        QTest::newRow("link, middle") << u"标签10"_s << Qt::MiddleButton;
    }
    void otherPressesOpenNothing()
    {
        QFETCH(QString, label);
        QFETCH(Qt::MouseButton, button);
        Fixture f;
        QWidget *widget = f.platform->widget(label);
        QVERIFY(widget);
        QTest::mousePress(widget, button, {}, QPoint(5, 5));
        QTest::mouseRelease(widget, button, {}, QPoint(5, 5));
        QVERIFY(f.browser->opened.isEmpty());
    }

    void onlyTheTraysLeftClickIsOperationType1_data()
    {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<bool>("isLeftClick");
        QTest::newRow("left click") << QSystemTrayIcon::Trigger << true;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << false;
        QTest::newRow("context menu") << QSystemTrayIcon::Context << false;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << false;
        QTest::newRow("unknown") << QSystemTrayIcon::Unknown << false;
    }
    void onlyTheTraysLeftClickIsOperationType1()
    {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(bool, isLeftClick);
        QCOMPARE(trayOperationType(reason) == 1, isLeftClick);
    }

    // What reaches the program from the icon, its menu and the menu's entry, in the order the
    // host sends them: each letter is one notification, the result the operation types passed on.
    //   t: a left click (activation)  d: a double click  r: a right click
    //   o: the menu opens  c: the menu closes  e: the menu's entry is chosen
    void trayClicksReachTheProgramOnce_data()
    {
        QTest::addColumn<QString>("notifications");
        QTest::addColumn<QList<int>>("passedOn");
        QTest::newRow("left click, no menu") << u"t"_s << QList<int>{1};
        QTest::newRow("other clicks, no menu") << u"dr"_s << QList<int>{2, 3};
        QTest::newRow("entry") << u"oec"_s << QList<int>{1};
        // The host's first click on a fresh icon: the menu opens and the icon is activated.
        QTest::newRow("first click opens and activates, then the entry")
            << u"otec"_s << QList<int>{1};
        QTest::newRow("first click, menu closed unused") << u"otc"_s << QList<int>{};
        QTest::newRow("later single clicks and entries") << u"oecoec"_s << QList<int>{1, 1};
        QTest::newRow("double click with the menu closed") << u"oect"_s << QList<int>{1, 1};
        QTest::newRow("entry chosen after the menu reports closing") << u"otce"_s << QList<int>{1};
    }
    void trayClicksReachTheProgramOnce()
    {
        QFETCH(QString, notifications);
        QFETCH(QList<int>, passedOn);
        QList<int> received;
        TrayClicks clicks([&](int operationType) { received << operationType; });
        for (const QChar notification : notifications) {
            switch (notification.unicode()) {
            case u't':
                clicks.activated(trayOperationType(QSystemTrayIcon::Trigger));
                break;
            case u'd':
                clicks.activated(trayOperationType(QSystemTrayIcon::DoubleClick));
                break;
            case u'r':
                clicks.activated(trayOperationType(QSystemTrayIcon::Context));
                break;
            case u'o':
                clicks.menuOpened();
                break;
            case u'c':
                clicks.menuClosed();
                break;
            case u'e':
                clicks.entryChosen();
                break;
            }
        }
        QCOMPARE(received, passedOn);
    }

    void onlyGnomeShellOpensTheMenuOnALeftClick_data()
    {
        QTest::addColumn<QString>("hostProgram");
        QTest::addColumn<bool>("opensMenu");
        QTest::newRow("GNOME Shell") << u"gnome-shell"_s << true;
        QTest::newRow("Plasma") << u"plasmashell"_s << false;
        QTest::newRow("Plasma's watcher") << u"kded5"_s << false;
        QTest::newRow("Xfce") << u"xfce4-panel"_s << false;
        QTest::newRow("LXQt") << u"lxqt-panel"_s << false;
        QTest::newRow("unknown") << QString() << false;
    }
    void onlyGnomeShellOpensTheMenuOnALeftClick()
    {
        QFETCH(QString, hostProgram);
        QFETCH(bool, opensMenu);
        QCOMPARE(hostOpensMenuOnLeftClick(hostProgram), opensMenu);
    }

    void theIconIsInstalledWithItsToolTipAndToggleEntry()
    {
        StartedFixture f;
        QCOMPARE(f.tray->installedToolTip, u"TicoraV1.0"_s);
        QCOMPARE(f.tray->installedToggleEntry, u"显示/隐藏窗口"_s);
        QVERIFY(!f.tray->installedIcon.isNull());
    }
};

QTEST_MAIN(TrayCreditsTest)
#include "tst_tray_credits.moc"

#include "fixture.h"
#include "reminder/reminder.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace ticora;
using namespace ticora::testing;

namespace {

const ShownBox incomplete{u"请输入完整信息！"_s, 16, u"错误"_s};

struct ReminderState {
    int alarmInterval;
    bool armDisabled;
    bool disarmDisabled;
    bool operator==(const ReminderState &) const = default;
};

constexpr ReminderState initial{0, false, false};
constexpr ReminderState armed{1000, true, false};
constexpr ReminderState notArmed{0, false, true};

ReminderState stateOf(Platform &p)
{
    return {p.interval(u"时钟1"_s), p.isDisabled(u"按钮1"_s), p.isDisabled(u"按钮2"_s)};
}

void fill(Platform &p, const QString &hour, const QString &minute, const QString &second,
          const QString &text, const QString &music = {})
{
    p.setContent(u"编辑框1"_s, hour);
    p.setContent(u"编辑框2"_s, minute);
    p.setContent(u"编辑框3"_s, second);
    p.setContent(u"编辑框4"_s, text);
    p.setContent(u"编辑框5"_s, music);
}

} // namespace

namespace QTest {
template <> char *toString(const ReminderState &s)
{
    const QByteArray text = "{interval " + QByteArray::number(s.alarmInterval) + ", 确定 "
                            + (s.armDisabled ? "disabled" : "enabled") + ", 取消 "
                            + (s.disarmDisabled ? "disabled" : "enabled") + "}";
    return qstrdup(text.constData());
}
} // namespace QTest

class ReminderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyTextIsZeroAndOnlyIntegersCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("value");
        QTest::newRow("empty") << QString() << std::optional(0);
        QTest::newRow("plain") << u"17"_s << std::optional(17);
        QTest::newRow("leading zero") << u"08"_s << std::optional(8);
        QTest::newRow("negative") << u"-5"_s << std::optional(-5);
        QTest::newRow("largest int") << u"2147483647"_s << std::optional(2147483647);
        QTest::newRow("beyond int") << u"2147483648"_s << std::optional<int>();
        QTest::newRow("far beyond") << QString(400, u'9') << std::optional<int>();
        QTest::newRow("lone minus") << u"-"_s << std::optional<int>();
        QTest::newRow("a space") << u" "_s << std::optional<int>();
    }
    void emptyTextIsZeroAndOnlyIntegersCount()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<int>, value);
        QCOMPARE(toInteger(text), value);
    }

    // Validation stops at the first empty box of hour, minute, second and text, says so once,
    // and changes nothing.
    void armingRefusesAnEmptyRequiredBox_data()
    {
        QTest::addColumn<QStringList>("boxes"); // hour, minute, second, text
        QTest::newRow("hour") << QStringList{{}, u"5"_s, u"7"_s, u"tea"_s};
        QTest::newRow("minute") << QStringList{u"9"_s, {}, u"7"_s, u"tea"_s};
        QTest::newRow("second") << QStringList{u"9"_s, u"5"_s, {}, u"tea"_s};
        QTest::newRow("text") << QStringList{u"9"_s, u"5"_s, u"7"_s, {}};
        QTest::newRow("hour and text") << QStringList{{}, u"5"_s, u"7"_s, {}};
        QTest::newRow("all") << QStringList{{}, {}, {}, {}};
    }
    void armingRefusesAnEmptyRequiredBox()
    {
        QFETCH(QStringList, boxes);
        Fixture f;
        fill(*f.platform, boxes[0], boxes[1], boxes[2], boxes[3], u"/music/a.mp3"_s);
        onArmClicked(*f.platform);
        QCOMPARE(f.box->shown, std::vector{incomplete});
        QCOMPARE(stateOf(*f.platform), initial);
        QCOMPARE(f.player->prepared, 0);
        QCOMPARE(f.platform->content(u"编辑框5"_s), u"/music/a.mp3"_s);
    }

    void armingAcceptsAnyNonEmptyText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("music");
        QTest::newRow("one space, no music") << u" "_s << QString();
        QTest::newRow("music path never looked at") << u"tea"_s << u"no such file"_s;
    }
    void armingAcceptsAnyNonEmptyText()
    {
        QFETCH(QString, text);
        QFETCH(QString, music);
        Fixture f;
        fill(*f.platform, u"9"_s, u"5"_s, u"8"_s, text, music);
        onArmClicked(*f.platform);
        QVERIFY(f.box->shown.empty());
        QCOMPARE(stateOf(*f.platform), armed);
        QCOMPARE(f.player->prepared, 1); // ready to play, nothing played yet
        QVERIFY(f.player->log.isEmpty());
    }

    void disarmingStopsTheAlarmTimer()
    {
        Fixture f;
        onDisarmClicked(*f.platform); // from the initial state
        QCOMPARE(stateOf(*f.platform), notArmed);

        fill(*f.platform, u"9"_s, u"5"_s, u"9"_s, u"tea"_s);
        onArmClicked(*f.platform);
        onDisarmClicked(*f.platform);
        QCOMPARE(stateOf(*f.platform), notArmed);
        f.nextSecond();
        f.nextSecond();
        QVERIFY(f.box->shown.empty()); // 09:05:09 passes without a word
        QVERIFY(f.player->log.isEmpty());
    }

    // The alarm compares whole numbers, to the second, reading the boxes as they are then.
    void alarmFiresOnlyAtItsExactSecond_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QStringList>("boxes"); // hour, minute, second
        QTest::addColumn<bool>("fires");
        const QTime t(10, 30, 0);
        QTest::newRow("exact") << t << QStringList{u"10"_s, u"30"_s, u"0"_s} << true;
        QTest::newRow("leading zeros")
            << QTime(8, 5, 9) << QStringList{u"08"_s, u"05"_s, u"09"_s} << true;
        QTest::newRow("hour off") << t << QStringList{u"11"_s, u"30"_s, u"0"_s} << false;
        QTest::newRow("minute off") << t << QStringList{u"10"_s, u"31"_s, u"0"_s} << false;
        QTest::newRow("second off") << t << QStringList{u"10"_s, u"30"_s, u"1"_s} << false;
        QTest::newRow("hour 24") << QTime(0, 30, 0) << QStringList{u"24"_s, u"30"_s, u"0"_s}
                                 << false;
        QTest::newRow("minute 60") << t << QStringList{u"10"_s, u"60"_s, u"0"_s} << false;
        QTest::newRow("negative") << t << QStringList{u"-10"_s, u"30"_s, u"0"_s} << false;
        QTest::newRow("beyond int") << t << QStringList{u"4294967306"_s, u"30"_s, u"0"_s} << false;
        QTest::newRow("lone minus")
            << QTime(0, 30, 0) << QStringList{u"-"_s, u"30"_s, u"0"_s} << false;
        QTest::newRow("emptied hour is 0")
            << QTime(0, 30, 0) << QStringList{QString(), u"30"_s, u"0"_s} << true;
        QTest::newRow("emptied second is 0")
            << t << QStringList{u"10"_s, u"30"_s, QString()} << true;
    }
    void alarmFiresOnlyAtItsExactSecond()
    {
        QFETCH(QTime, now);
        QFETCH(QStringList, boxes);
        QFETCH(bool, fires);
        Fixture f(QDateTime(QDate(2026, 12, 11), now));
        fill(*f.platform, u"1"_s, u"1"_s, u"1"_s, u"stand up"_s);
        onArmClicked(*f.platform);
        // Boxes edited while armed are what counts.
        f.platform->setContent(u"编辑框1"_s, boxes[0]);
        f.platform->setContent(u"编辑框2"_s, boxes[1]);
        f.platform->setContent(u"编辑框3"_s, boxes[2]);
        onAlarmTick(*f.platform);
        QCOMPARE(f.box->shown.size(), std::size_t(fires));
        QCOMPARE(stateOf(*f.platform), fires ? notArmed : armed);
    }

    // Armed a few seconds ahead, the pulse of the clock brings the alert exactly once: music
    // on, the box, music off, disarmed.
    void alertRunsOnceAtItsSecond()
    {
        Fixture f;
        f.platform->showWindow();
        fill(*f.platform, u"9"_s, u"5"_s, u"10"_s, u"stand up"_s, u"/music/闹钟 #1.mp3"_s);
        onArmClicked(*f.platform);
        QStringList logWhileOpen;
        f.box->whileOpen = [&] { logWhileOpen = f.player->log; };

        f.nextSecond(); // :08
        f.nextSecond(); // :09
        QVERIFY(f.box->shown.empty());
        f.nextSecond(); // :10
        QCOMPARE(f.box->shown, (std::vector<ShownBox>{{u"stand up"_s, 64, u"Ticora"_s}}));
        QCOMPARE(logWhileOpen, QStringList{u"play -1 /music/闹钟 #1.mp3"_s});
        QCOMPARE(f.player->log, (QStringList{u"play -1 /music/闹钟 #1.mp3"_s, u"stop"_s}));
        QCOMPARE(stateOf(*f.platform), notArmed);

        // Once only: the same time a day later passes quietly until armed again.
        f.clock->set(f.clock->now().addDays(1).addSecs(-1));
        f.nextSecond();
        QCOMPARE(f.box->shown.size(), std::size_t(1));
        f.clock->set(f.clock->now().addDays(1).addSecs(-1));
        onArmClicked(*f.platform);
        f.nextSecond();
        QCOMPARE(f.box->shown.size(), std::size_t(2));
    }

    // However the box is closed, the music stops; without a music path nothing plays, and
    // the stop is still harmlessly asked for.
    void musicStopsWhenTheBoxCloses_data()
    {
        QTest::addColumn<QString>("music");
        QTest::addColumn<int>("boxResult");
        QTest::addColumn<QStringList>("playerLog");
        QTest::newRow("OK") << u"/m/a.mp3"_s << 0 << QStringList{u"play -1 /m/a.mp3"_s, u"stop"_s};
        QTest::newRow("closed otherwise")
            << u"/m/a.mp3"_s << 2 << QStringList{u"play -1 /m/a.mp3"_s, u"stop"_s};
        QTest::newRow("no music") << QString() << 0 << QStringList{u"stop"_s};
    }
    void musicStopsWhenTheBoxCloses()
    {
        QFETCH(QString, music);
        QFETCH(int, boxResult);
        QFETCH(QStringList, playerLog);
        Fixture f;
        fill(*f.platform, u"9"_s, u"5"_s, u"7"_s, u"tea"_s, music);
        f.box->result = boxResult;
        onArmClicked(*f.platform);
        onAlarmTick(*f.platform);
        QCOMPARE(f.player->log, playerLog);
        QCOMPARE(f.player->playing, QString());
        QCOMPARE(stateOf(*f.platform), notArmed);
    }

    // While the box is open the seconds go on: the clock line follows, and the alarm, still
    // armed, finds only later seconds and stays quiet.
    void secondsGoOnWhileTheAlertIsOpen()
    {
        Fixture f;
        f.platform->showWindow();
        fill(*f.platform, u"9"_s, u"5"_s, u"8"_s, u"tea"_s);
        onArmClicked(*f.platform);
        QStringList clockLines;
        f.box->whileOpen = [&] {
            for (int i = 0; i < 3; ++i) {
                f.nextSecond();
                clockLines << f.platform->caption(u"标签7"_s);
            }
        };
        f.nextSecond();
        QCOMPARE(f.box->shown.size(), std::size_t(1));
        QCOMPARE(clockLines, (QStringList{u"当前时间：2026-12-11 09:05:09"_s,
                                          u"当前时间：2026-12-11 09:05:10"_s,
                                          u"当前时间：2026-12-11 09:05:11"_s}));
        QCOMPARE(stateOf(*f.platform), notArmed);
    }

    void alertShowsTheTextAsItIsThen()
    {
        Fixture f;
        fill(*f.platform, u"9"_s, u"5"_s, u"9"_s, u"old"_s);
        onArmClicked(*f.platform);
        f.platform->setContent(u"编辑框4"_s, u"new\nsecond line"_s);
        f.platform->setContent(u"编辑框3"_s, u"8"_s);
        f.nextSecond();
        QCOMPARE(f.box->shown.at(0).text, u"new\nsecond line"_s);
        // Emptied while armed, the text is shown empty rather than refused.
        Fixture g;
        fill(*g.platform, u"9"_s, u"5"_s, u"8"_s, u"gone"_s);
        onArmClicked(*g.platform);
        g.platform->setContent(u"编辑框4"_s, QString());
        g.nextSecond();
        QCOMPARE(g.box->shown.at(0).text, QString());
    }

    void alertDoesNotBringBackAHiddenWindow()
    {
        Fixture f;
        f.platform->showWindow();
        fill(*f.platform, u"9"_s, u"5"_s, u"8"_s, u"tea"_s);
        onArmClicked(*f.platform);
        f.platform->setWindowVisible(false);
        f.nextSecond();
        QCOMPARE(f.box->shown.size(), std::size_t(1));
        QVERIFY(!f.platform->isWindowVisible());
    }

    void browseCopiesAChosenFileOnly_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("path");
        QTest::newRow("chosen") << u"/home/me/Music/晨 曲.mp3"_s << u"/home/me/Music/晨 曲.mp3"_s;
        QTest::newRow("cancelled") << QString() << u"typed by hand.mp3"_s;
    }
    void browseCopiesAChosenFileOnly()
    {
        QFETCH(QString, choice);
        QFETCH(QString, path);
        Fixture f;
        f.platform->setContent(u"编辑框5"_s, u"typed by hand.mp3"_s);
        f.dialog->choice = choice;
        onBrowseClicked(*f.platform);
        QCOMPARE(f.dialog->filters, QStringList{u"MP3（*.mp3）|*.mp3"_s});
        QCOMPARE(f.platform->content(u"编辑框5"_s), path);
    }

    // A choice made before does not come back when the dialog is later cancelled.
    void cancelAfterAChoiceKeepsWhatWasTyped()
    {
        Fixture f;
        f.dialog->choice = u"/m/first.mp3"_s;
        onBrowseClicked(*f.platform);
        f.platform->setContent(u"编辑框5"_s, u"/m/typed.mp3"_s);
        f.dialog->choice.clear();
        onBrowseClicked(*f.platform);
        QCOMPARE(f.platform->content(u"编辑框5"_s), u"/m/typed.mp3"_s);
    }

    // The alert may fire while the file dialog is open: it plays what the box holds then, and
    // the dialog's choice still lands in the box afterwards.
    void alertFiresOverTheOpenFileDialog()
    {
        Fixture f;
        fill(*f.platform, u"9"_s, u"5"_s, u"8"_s, u"tea"_s, u"/m/before.mp3"_s);
        onArmClicked(*f.platform);
        f.dialog->choice = u"/m/after.mp3"_s;
        f.dialog->whileOpen = [&] { f.nextSecond(); };
        onBrowseClicked(*f.platform);
        QCOMPARE(f.player->log, (QStringList{u"play -1 /m/before.mp3"_s, u"stop"_s}));
        QCOMPARE(f.platform->content(u"编辑框5"_s), u"/m/after.mp3"_s);
        QCOMPARE(stateOf(*f.platform), notArmed);
    }

    void clickingTheButtonsRunsTheirHandlers()
    {
        Fixture f;
        f.platform->showWindow();
        fill(*f.platform, u"9"_s, u"5"_s, u"8"_s, u"tea"_s);
        QTest::mouseClick(f.platform->widget(u"按钮1"_s), Qt::LeftButton);
        QCOMPARE(stateOf(*f.platform), armed);
        QTest::mouseClick(f.platform->widget(u"按钮1"_s), Qt::LeftButton); // greyed out
        QCOMPARE(f.player->prepared, 1);
        QTest::mouseClick(f.platform->widget(u"按钮2"_s), Qt::LeftButton);
        QCOMPARE(stateOf(*f.platform), notArmed);
        f.dialog->choice = u"/m/x.mp3"_s;
        QTest::mouseClick(f.platform->widget(u"按钮3"_s), Qt::LeftButton);
        QCOMPARE(f.platform->content(u"编辑框5"_s), u"/m/x.mp3"_s);
    }
};

QTEST_MAIN(ReminderTest)
#include "tst_reminder.moc"

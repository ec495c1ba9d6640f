#include "app/startup.h"
#include "fixture.h"
#include "platform/desktop_services.h"
#include "ui/window_definition.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace ticora;
using namespace ticora::testing;

namespace {

const char *kindName(ControlKind kind)
{
    switch (kind) {
    case ControlKind::FileDialog:
        return "file dialog";
    case ControlKind::Button:
        return "QPushButton";
    case ControlKind::EditBox:
        return "edit box";
    case ControlKind::Label:
        return "QLabel";
    case ControlKind::Timer:
        return "timer";
    case ControlKind::GroupBox:
        return "QGroupBox";
    }
    return "";
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowAttributes()
    {
        Fixture f;
        QWidget *window = f.platform->window();
        QCOMPARE(window->windowTitle(), u"TicoraV2.0"_s);
        QCOMPARE(window->size(), QSize(278, 242));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
    }

    void programIconIsTheIcoFile()
    {
        QFile ico(u":/ticora/ticora.ico"_s);
        QVERIFY(ico.open(QIODevice::ReadOnly));
        const QByteArray bytes = ico.readAll();
        QCOMPARE(bytes.size(), 2238);
        QCOMPARE(bytes.left(6), QByteArray("\0\0\1\0\1\0", 6)); // an icon file with one image
        QCOMPARE(quint8(bytes[0x06]), quint8(32));
        QCOMPARE(quint8(bytes[0x07]), quint8(32));
        QCOMPARE(quint8(bytes[0x0c]), quint8(8)); // bits per pixel: 256 colours
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 0x0e), quint32(2216));
    }

    // Every control of the definition exists with its kind, parent, place, text and colour.
    void controlsMatchTheDefinition()
    {
        Fixture f;
        for (const ControlDefinition &c : controlDefinitions) {
            const QString name = c.name.toString();
            QWidget *widget = f.platform->widget(name);
            if (c.kind == ControlKind::Timer || c.kind == ControlKind::FileDialog) {
                QVERIFY2(!widget, qPrintable(name)); // no visible presence
                continue;
            }
            QVERIFY2(widget, qPrintable(name));
            QWidget *parent = c.parent.isEmpty() ? f.platform->window()
                                                 : f.platform->widget(c.parent.toString());
            QCOMPARE(widget->parentWidget(), parent);
            QCOMPARE(widget->geometry(), QRect(c.position, c.size));
            switch (c.kind) {
            case ControlKind::Label:
                QVERIFY2(qobject_cast<QLabel *>(widget), kindName(c.kind));
                QCOMPARE(f.platform->caption(name), c.text.toString());
                break;
            case ControlKind::GroupBox:
                QVERIFY2(qobject_cast<QGroupBox *>(widget), kindName(c.kind));
                QCOMPARE(f.platform->caption(name), c.text.toString());
                break;
            case ControlKind::Button:
                QVERIFY2(qobject_cast<QPushButton *>(widget), kindName(c.kind));
                QCOMPARE(static_cast<QPushButton *>(widget)->text(), c.text.toString());
                QCOMPARE(static_cast<QPushButton *>(widget)->isDefault(), c.isDefaultButton);
                QVERIFY(widget->isEnabled());
                break;
            case ControlKind::EditBox:
                QCOMPARE(f.platform->content(name), QString());
                QCOMPARE(bool(qobject_cast<QPlainTextEdit *>(widget)), c.edit.multiLine);
                break;
            case ControlKind::Timer:
            case ControlKind::FileDialog:
                break;
            }
            if (c.textColour)
                QCOMPARE(widget->palette().color(QPalette::WindowText), QColor(*c.textColour));
        }
    }

    void controlsSitWhereTheWindowShowsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("inWindow");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("browse") << u"按钮3"_s << QPoint(224, 144) << u"浏览"_s << QColor();
        QTest::newRow("music path") << u"编辑框5"_s << QPoint(80, 144) << QString() << QColor();
        QTest::newRow("music label")
            << u"标签9"_s << QPoint(16, 143) << u"播放音乐："_s << QColor(Qt::black);
        QTest::newRow("link") << u"标签10"_s << QPoint(160, 216) << u"https://orvelle.dev"_s
                              << QColor(0, 0, 255);
        QTest::newRow("author") << u"标签8"_s << QPoint(78, 216) << u"Orvelle"_s
                                << QColor(255, 0, 0);
        QTest::newRow("clock line")
            << u"标签7"_s << QPoint(32, 10) << QString() << QColor(0, 0, 255);
        QTest::newRow("arm") << u"按钮1"_s << QPoint(63, 187) << u"确定"_s << QColor();
        QTest::newRow("disarm") << u"按钮2"_s << QPoint(159, 187) << u"取消"_s << QColor();
        QTest::newRow("hour") << u"编辑框1"_s << QPoint(78, 57) << QString() << QColor();
        QTest::newRow("group") << u"分组框1"_s << QPoint(8, 40) << u"时间设定"_s
                               << QColor(Qt::black);
    }
    void controlsSitWhereTheWindowShowsThem()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, inWindow);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        Fixture f;
        QWidget *widget = f.platform->widget(name);
        QCOMPARE(widget->mapTo(f.platform->window(), QPoint(0, 0)), inWindow);
        if (auto *label = qobject_cast<QLabel *>(widget))
            QCOMPARE(label->text(), text);
        if (auto *button = qobject_cast<QPushButton *>(widget))
            QCOMPARE(button->text(), text);
        if (colour.isValid())
            QCOMPARE(widget->palette().color(QPalette::WindowText), colour);
    }

    // The group box frames the rows without hiding them: they lie above it.
    void groupBoxLiesBeneathTheRowsItFrames()
    {
        Fixture f;
        const auto siblings = f.platform->window()->children();
        const auto group = siblings.indexOf(f.platform->widget(u"分组框1"_s));
        for (const QString &name : {u"标签1"_s, u"编辑框1"_s, u"编辑框4"_s, u"标签5"_s})
            QVERIFY2(siblings.indexOf(f.platform->widget(name)) > group, qPrintable(name));
    }

    void editBoxSettings()
    {
        Fixture f;
        for (const QString &name : {u"编辑框1"_s, u"编辑框2"_s, u"编辑框3"_s}) {
            auto *box = qobject_cast<QLineEdit *>(f.platform->widget(name));
            QVERIFY(box);
            QCOMPARE(box->alignment(), Qt::AlignCenter);
            QTest::keyClicks(box, u"-1a2.3 x"_s);
            QCOMPARE(box->text(), u"-123"_s); // only an integer gets in
        }
        auto *text = qobject_cast<QPlainTextEdit *>(f.platform->widget(u"编辑框4"_s));
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QTest::keyClicks(text, u"a"_s);
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, u"b"_s);
        QCOMPARE(f.platform->content(u"编辑框4"_s), u"a\nb"_s);
        auto *path = qobject_cast<QLineEdit *>(f.platform->widget(u"编辑框5"_s));
        QVERIFY(!path->validator());
        QTest::keyClicks(path, u"/tmp/a b#.mp3"_s);
        QCOMPARE(f.platform->content(u"编辑框5"_s), u"/tmp/a b#.mp3"_s);
    }

    // The window's texts are drawn in full at the program's font: nothing is clipped.
    void captionsFitTheirControls()
    {
        Fixture f;
        f.platform->setThemedLook(1);
        for (const ControlDefinition &c : controlDefinitions) {
            auto *label = qobject_cast<QLabel *>(f.platform->widget(c.name.toString()));
            if (!label)
                continue;
            const QSize needed = label->fontMetrics().size(Qt::TextSingleLine, label->text());
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(
                         u"%1 needs %2x%3"_s.arg(c.name).arg(needed.width()).arg(needed.height())));
        }
        f.platform->setCaption(
            u"标签7"_s,
            u"当前时间："_s + dateTimeText(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58))));
        auto *clockLine = static_cast<QLabel *>(f.platform->widget(u"标签7"_s));
        QVERIFY(clockLine->fontMetrics().horizontalAdvance(clockLine->text())
                <= clockLine->width());
        for (const QString &name : {u"按钮1"_s, u"按钮2"_s, u"按钮3"_s}) {
            auto *button = static_cast<QPushButton *>(f.platform->widget(name));
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                     qPrintable(name));
        }
    }

    void bindingsNameExistingControls()
    {
        for (const Binding &b : eventBindings) {
            const auto defined
                = std::find_if(controlDefinitions.begin(), controlDefinitions.end(),
                               [&](const ControlDefinition &c) { return c.name == b.control; });
            const bool onWindow = b.control.isEmpty();
            QVERIFY2(onWindow || defined != controlDefinitions.end(),
                     qPrintable(b.control.toString()));
            const std::size_t parameters = b.handler.index(); // none, one, three
            switch (b.event) {
            case Event::Created:
            case Event::SizeChanged:
                QVERIFY(onWindow);
                QCOMPARE(parameters, 0u);
                break;
            case Event::TrayEvent:
                QVERIFY(onWindow);
                QCOMPARE(parameters, 1u);
                break;
            case Event::Tick:
                QCOMPARE(defined->kind, ControlKind::Timer);
                QCOMPARE(parameters, 0u);
                break;
            case Event::Clicked:
                QCOMPARE(defined->kind, ControlKind::Button);
                QCOMPARE(parameters, 0u);
                break;
            case Event::LeftButtonPressed:
                QCOMPARE(defined->kind, ControlKind::Label);
                QCOMPARE(parameters, 2u);
                break;
            }
            std::visit([](auto handler) { QVERIFY(handler); }, b.handler);
        }
    }

    void timersStartAsDefined()
    {
        Fixture f;
        QCOMPARE(f.platform->interval(u"时钟2"_s), 1000);
        QCOMPARE(f.platform->interval(u"时钟1"_s), 0);
    }

    // At the created event the boxes are still empty; start-up fills them from the clock.
    void startUpFillsClockLineAndTimeBoxes()
    {
        Fixture f;
        QStringList seenAtCreation;
        f.platform->onCreated([&] {
            for (const QString &name : {u"标签7"_s})
                seenAtCreation << f.platform->caption(name);
            for (const QString &name :
                 {u"编辑框1"_s, u"编辑框2"_s, u"编辑框3"_s, u"编辑框4"_s, u"编辑框5"_s})
                seenAtCreation << f.platform->content(name);
            onWindowCreated(*f.platform);
        });
        f.platform->showWindow();

        QCOMPARE(seenAtCreation, QStringList(6, QString()));
        QVERIFY(f.platform->isWindowVisible());
        QCOMPARE(f.platform->caption(u"标签7"_s), u"当前时间：2026-12-11 09:05:07"_s);
        QCOMPARE(f.platform->content(u"编辑框1"_s), u"9"_s);
        QCOMPARE(f.platform->content(u"编辑框2"_s), u"5"_s);
        QCOMPARE(f.platform->content(u"编辑框3"_s), u"7"_s);
        QCOMPARE(f.platform->content(u"编辑框4"_s), QString());
        QCOMPARE(f.tray->installedToolTip, u"TicoraV1.0"_s);
        QVERIFY(!f.tray->installedIcon.isNull());
    }

    // Each reading is its own: started as an hour ends, the boxes may straddle it, and no
    // correction is made.
    void eachTimeBoxReadsTheClockAfresh()
    {
        Fixture f(QDateTime(QDate(2026, 12, 11), QTime(9, 59, 58)));
        f.clock->stepOnRead = 1000;
        onWindowCreated(*f.platform);
        QCOMPARE(f.platform->caption(u"标签7"_s), u"当前时间：2026-12-11 09:59:58"_s);
        QCOMPARE(f.platform->content(u"编辑框1"_s), u"9"_s);
        QCOMPARE(f.platform->content(u"编辑框2"_s), u"0"_s);
        QCOMPARE(f.platform->content(u"编辑框3"_s), u"1"_s);
    }

    void clockLineFollowsEverySecond()
    {
        Fixture f(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
        f.platform->showWindow();
        const QStringList expected{u"当前时间：2026-12-31 23:59:59"_s,
                                   u"当前时间：2027-01-01 00:00:00"_s,
                                   u"当前时间：2027-01-01 00:00:01"_s};
        for (const QString &line : expected) {
            f.nextSecond();
            QCOMPARE(f.platform->caption(u"标签7"_s), line);
        }
        // It keeps going while the window is hidden.
        f.platform->setWindowVisible(false);
        f.nextSecond();
        QCOMPARE(f.platform->caption(u"标签7"_s), u"当前时间：2027-01-01 00:00:02"_s);
    }

    void escapeOrCloseEndsTheProgram_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Esc") << true;
        QTest::newRow("close") << false;
    }
    void escapeOrCloseEndsTheProgram()
    {
        QFETCH(bool, byEscape);
        Fixture f;
        f.platform->showWindow();
        QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, f.platform->window(), [&] {
            if (byEscape)
                QTest::keyClick(f.platform->widget(u"编辑框1"_s), Qt::Key_Escape);
            else
                f.platform->window()->close();
        });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); }); // a hang fails
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!f.platform->isWindowVisible());
    }

    // Enter in a time box arms, as the default button; Enter in the text box breaks the line.
    void enterPressesTheDefaultButton()
    {
        Fixture f;
        f.platform->showWindow();
        int clicks = 0;
        f.platform->onClicked(u"按钮1"_s, [&] { ++clicks; });
        QTest::keyClick(f.platform->widget(u"编辑框2"_s), Qt::Key_Return);
        QTRY_COMPARE(clicks, 1);
        QTest::keyClick(f.platform->widget(u"编辑框4"_s), Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(clicks, 1);
        f.platform->setDisabled(u"按钮1"_s, true);
        QTest::keyClick(f.platform->widget(u"编辑框2"_s), Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(clicks, 1);
    }

    void nameFiltersForTheFileDialog_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("qtFilters");
        QTest::newRow("music") << u"MP3（*.mp3）|*.mp3"_s
                               << QStringList{u"MP3（*.mp3） (*.[mM][pP]3)"_s};
        QTest::newRow("two entries")
            << u"Audio|*.mp3;*.ogg|All|*"_s
            << QStringList{u"Audio (*.[mM][pP]3 *.[oO][gG][gG])"_s, u"All (*)"_s};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void nameFiltersForTheFileDialog()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, qtFilters);
        QCOMPARE(qtNameFilters(filter), qtFilters);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"

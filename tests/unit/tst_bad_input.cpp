#include "fixture.h"
#include "platform/desktop_services.h"
#include "reminder/reminder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace ticora;
using namespace ticora::testing;

namespace {

QString manyLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << u"第 %1 行 line %1"_s.arg(i);
    return lines.join(u'\n');
}

// What a message box looked like on the screen while it was open.
struct SeenBox {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString detailedText;
    int answerButtons = 0;
    bool fitsClosed = false;
    bool fitsOpened = false;
    int answer = -1;
};

bool onScreen(const QWidget *widget)
{
    const QRect screen = widget->screen()->availableGeometry();
    return screen.contains(widget->window()->frameGeometry())
           && screen.contains(QRect(widget->mapToGlobal(QPoint()), widget->size()));
}

// Shows the box as the program does and, once it is up, looks at it, opens its details if it
// has any, and closes it with a mouse click on OK, as a user would.
SeenBox showAndClickOk(const QString &text)
{
    SeenBox seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        seen.text = box->text();
        seen.detailedText = box->detailedText();
        for (QAbstractButton *button : box->buttons())
            seen.answerButtons += box->buttonRole(button) != QMessageBox::ActionRole;
        seen.fitsClosed = onScreen(ok);
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                QTest::mouseClick(button, Qt::LeftButton);
        }
        seen.fitsOpened = onScreen(ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    poll.start();
    seen.answer = desktopServices().messageBox->show(text, 64, u"Ticora"_s);
    return seen;
}

void paste(QLineEdit *box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A time box takes a pasted integer of any length, a lone minus on the way to a negative
    // number, and nothing else: a refused paste leaves the box as it was.
    void timeBoxesTakeOnlyIntegersPasted_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("letters") << u"abc"_s << u"9"_s;
        QTest::newRow("digits and letters") << u"12ab"_s << u"9"_s;
        QTest::newRow("symbols") << u"#%&*"_s << u"9"_s;
        QTest::newRow("plus sign") << u"+5"_s << u"9"_s;
        QTest::newRow("decimal") << u"1.5"_s << u"9"_s;
        QTest::newRow("exponent") << u"1e3"_s << u"9"_s;
        QTest::newRow("spaces") << u" 7 "_s << u"9"_s;
        QTest::newRow("minus inside") << u"12-3"_s << u"9"_s;
        QTest::newRow("two minuses") << u"--1"_s << u"9"_s;
        QTest::newRow("full-width digits") << u"１２"_s << u"9"_s;
        QTest::newRow("Arabic-Indic digits") << u"١٢"_s << u"9"_s;
        QTest::newRow("emoji") << u"⏰"_s << u"9"_s;
        QTest::newRow("line break") << u"1\n2"_s << u"9"_s;
        QTest::newRow("lone minus") << u"-"_s << u"-"_s;
        QTest::newRow("leading zeros") << u"0007"_s << u"0007"_s;
        QTest::newRow("beyond int") << u"2147483648"_s << u"2147483648"_s;
        QTest::newRow("5,000 digits") << QString(5000, u'9') << QString(5000, u'9');
    }
    void timeBoxesTakeOnlyIntegersPasted()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        Fixture f;
        f.platform->showWindow();
        for (const QString &name : {u"编辑框1"_s, u"编辑框2"_s, u"编辑框3"_s}) {
            auto *box = qobject_cast<QLineEdit *>(f.platform->widget(name));
            f.platform->setContent(name, u"9"_s);
            paste(box, pasted);
            QCOMPARE(f.platform->content(name), kept);
        }
    }

    // A box holding what denotes no time of day is accepted by arming, and the reminder then
    // stays armed through every value its clock field takes, without a word, its boxes as
    // they were.
    void unmatchableTimeStaysArmedAndSilent_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("value");
        QTest::newRow("hour lone minus") << u"编辑框1"_s << u"-"_s;
        QTest::newRow("hour beyond int") << u"编辑框1"_s << u"4294967305"_s;
        QTest::newRow("minute 5,000 digits") << u"编辑框2"_s << QString(5000, u'5');
        QTest::newRow("second beyond int") << u"编辑框3"_s << u"-2147483649"_s;
    }
    void unmatchableTimeStaysArmedAndSilent()
    {
        QFETCH(QString, box);
        QFETCH(QString, value);
        Fixture f;
        f.platform->showWindow();
        f.platform->setContent(u"编辑框1"_s, u"9"_s);
        f.platform->setContent(u"编辑框2"_s, u"5"_s);
        f.platform->setContent(u"编辑框3"_s, u"8"_s);
        f.platform->setContent(u"编辑框4"_s, u"tea"_s);
        f.platform->setContent(box, value);
        onArmClicked(*f.platform);
        QCOMPARE(f.platform->interval(u"时钟1"_s), 1000);

        const int values = box == u"编辑框1"_s ? 24 : 60;
        for (int v = 0; v < values; ++v) {
            const QTime at(box == u"编辑框1"_s ? v : 9, box == u"编辑框2"_s ? v : 5,
                           box == u"编辑框3"_s ? v : 8);
            f.clock->set(QDateTime(QDate(2026, 12, 11), at));
            f.platform->pulse().wake();
            QCOMPARE(f.platform->caption(u"标签7"_s),
                     u"当前时间：2026-12-11 "_s + at.toString(u"HH:mm:ss"_s));
        }
        QVERIFY(f.box->shown.empty());
        QCOMPARE(f.platform->interval(u"时钟1"_s), 1000);
        QVERIFY(f.platform->isDisabled(u"按钮1"_s));
        QVERIFY(!f.platform->isDisabled(u"按钮2"_s));
        QCOMPARE(f.platform->content(box), value);
    }

    // Whatever the text, the alert's OK button is on the screen and closes it. A text too big
    // for the screen shows its beginning, and whole in the details; the box keeps its title,
    // its icon and its one answer, OK.
    void alertBoxFitsTheScreen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::newRow("short") << u"该喝水了"_s << true;
        QTest::newRow("emoji") << u"⏰ 喝水 😀 👨‍👩‍👧 🇨🇳"_s << true;
        QTest::newRow("right to left") << u"موعد الاجتماع בשעה שלוש"_s << true;
        QTest::newRow("100,000 letters") << QString(100000, u'x') << false;
        QTest::newRow("100,000 Chinese") << QString(100000, u'字') << false;
        QTest::newRow("100,000 words") << u"stand up "_s.repeated(11111) << false;
        QTest::newRow("5,000 lines") << manyLines(5000) << false;
        QTest::newRow("many emoji") << u"😀"_s.repeated(50000) << false;
        QTest::newRow("many accents") << u"e\u0301"_s.repeated(50000) << false;
        QTest::newRow("long right to left") << u"שלום עולם "_s.repeated(10000) << false;
    }
    void alertBoxFitsTheScreen()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        const SeenBox seen = showAndClickOk(text);
        QCOMPARE(seen.title, u"Ticora"_s);
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.answerButtons, 1);
        QCOMPARE(seen.answer, 0);
        QVERIFY(seen.fitsClosed);
        QVERIFY(seen.fitsOpened);
        if (whole) {
            QCOMPARE(seen.text, text);
            QCOMPARE(seen.detailedText, QString());
            return;
        }
        QCOMPARE(seen.detailedText, text);
        QVERIFY(seen.text.endsWith(u'…'));
        const QString beginning = seen.text.chopped(1);
        QVERIFY(text.startsWith(beginning));
        QVERIFY2(beginning.size() > 20, qPrintable(QString::number(beginning.size())));
        // Cut between whole characters: no half of a surrogate pair, no accent left behind.
        const QChar next = text.at(beginning.size());
        QVERIFY(!next.isLowSurrogate());
        QVERIFY(next.category() != QChar::Mark_NonSpacing);
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_bad_input.moc"

#include "platform.h"

#include "main_window.h"
#include "second_pulse.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

namespace ticora {

namespace {

void setTextColour(QWidget *widget, std::optional<QColor> colour)
{
    if (!colour)
        return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, *colour);
    widget->setPalette(palette);
}

int keyStateOf(Qt::KeyboardModifiers modifiers)
{
    return (modifiers.testFlag(Qt::ControlModifier) ? 1 : 0)
           | (modifiers.testFlag(Qt::ShiftModifier) ? 2 : 0)
           | (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

} // namespace

Platform::Platform(Services services)
    : m_services(std::move(services))
    , m_window(std::make_unique<MainWindow>())
    , m_pulse(std::make_unique<SecondPulse>(*m_services.clock))
{
    connect(m_pulse.get(), &SecondPulse::second, this, &Platform::bringBackIfTrayGone);
    connect(m_pulse.get(), &SecondPulse::second, this, &Platform::tickTimers);
    connect(m_window.get(), &MainWindow::sizeChanged, this, [this] {
        if (m_onSizeChanged)
            m_onSizeChanged();
    });
    // The program ends when its window is closed, and only then: a message box closed while
    // the window sits in the tray must not end it.
    connect(m_window.get(), &MainWindow::closed, qApp, &QCoreApplication::quit);
}

Platform::~Platform()
{
    // Controls die with the window; the services (tray icon, player) go after it.
    m_window.reset();
}

void Platform::setUpWindow(const QString &caption, QSize clientSize, const QIcon &icon,
                           int fontPixelSize)
{
    QFont font = m_window->font();
    font.setPixelSize(fontPixelSize);
    m_window->setFont(font);
    m_icon = icon;
    // Message boxes and dialogs carry the program's icon too.
    QApplication::setWindowIcon(icon);
    m_window->setWindowTitle(caption);
    m_window->setWindowIcon(icon);
    m_window->setFixedSize(clientSize);
}

Platform::Control &Platform::add(const QString &name, Kind kind, QWidget *widget)
{
    Q_ASSERT_X(!m_controls.contains(name), "Platform::add", "control names are unique");
    if (widget) {
        widget->setObjectName(name);
        // The definition lists controls from the top of the stack down.
        widget->lower();
    }
    return m_controls.insert_or_assign(name, Control{kind, widget, {}, {}, {}, {}, {}})
        .first->second;
}

QWidget *Platform::parentWidget(const QString &parent) const
{
    if (parent.isEmpty())
        return m_window.get();
    QWidget *widget = this->widget(parent);
    Q_ASSERT_X(widget, "Platform::parentWidget", "a parent is defined before its children");
    return widget ? widget : m_window.get();
}

void Platform::addLabel(const QString &name, const QString &parent, QRect geometry,
                        const QString &text, std::optional<QColor> textColour)
{
    auto *label = new QLabel(text, parentWidget(parent));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    setTextColour(label, textColour);
    add(name, Kind::Label, label);
}

void Platform::addGroupBox(const QString &name, const QString &parent, QRect geometry,
                           const QString &caption, std::optional<QColor> captionColour)
{
    auto *box = new QGroupBox(caption, parentWidget(parent));
    box->setGeometry(geometry);
    setTextColour(box, captionColour);
    add(name, Kind::GroupBox, box);
}

void Platform::addButton(const QString &name, const QString &parent, QRect geometry,
                         const QString &caption, bool isDefault)
{
    auto *button = new QPushButton(caption, parentWidget(parent));
    button->setGeometry(geometry);
    button->setDefault(isDefault);
    add(name, Kind::Button, button);
    connect(button, &QPushButton::clicked, this, [this, name] {
        if (auto &handler = control(name, Kind::Button).onClicked)
            handler();
    });
    if (isDefault)
        m_window->setDefaultButton(button);
}

void Platform::addEditBox(const QString &name, const QString &parent, QRect geometry,
                          EditBoxSettings settings)
{
    QWidget *box = nullptr;
    if (settings.multiLine) {
        auto *text = new QPlainTextEdit(parentWidget(parent));
        text->setVerticalScrollBarPolicy(settings.verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAsNeeded);
        text->setTabChangesFocus(true);
        box = text;
    } else {
        auto *line = new QLineEdit(parentWidget(parent));
        if (settings.centred)
            line->setAlignment(Qt::AlignCenter);
        if (settings.integerOnly) {
            static const QRegularExpression integer(u"-?[0-9]*"_s);
            line->setValidator(new QRegularExpressionValidator(integer, line));
        }
        line->setMaxLength(std::numeric_limits<int>::max());
        box = line;
    }
    box->setGeometry(geometry);
    add(name, Kind::EditBox, box);
}

void Platform::addTimer(const QString &name, int intervalMs)
{
    add(name, Kind::Timer, nullptr).timer.intervalMs = intervalMs;
    m_timerOrder.push_back(name);
}

void Platform::addFileDialog(const QString &name, const QString &filter)
{
    add(name, Kind::FileDialog, nullptr).filter = filter;
}

void Platform::onCreated(std::function<void()> handler)
{
    m_onCreated = std::move(handler);
}

void Platform::onSizeChanged(std::function<void()> handler)
{
    m_onSizeChanged = std::move(handler);
}

void Platform::onTrayEvent(std::function<void(int)> handler)
{
    m_onTrayEvent = std::move(handler);
}

void Platform::onTick(const QString &timer, std::function<void()> handler)
{
    control(timer, Kind::Timer).timer.onTick = std::move(handler);
}

void Platform::onClicked(const QString &button, std::function<void()> handler)
{
    control(button, Kind::Button).onClicked = std::move(handler);
}

void Platform::onLeftButtonPressed(const QString &label, std::function<void(int, int, int)> handler)
{
    Control &target = control(label, Kind::Label);
    target.onLeftButtonPressed = std::move(handler);
    target.widget->installEventFilter(this);
}

bool Platform::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton) {
            const Control &label = control(watched->objectName(), Kind::Label);
            if (label.onLeftButtonPressed) {
                const QPoint at = press->position().toPoint();
                label.onLeftButtonPressed(at.x(), at.y(), keyStateOf(press->modifiers()));
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void Platform::showWindow()
{
    // Centred on the screen the first time it is shown.
    if (const QScreen *screen = m_window->screen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    if (m_onCreated)
        m_onCreated();
}

void Platform::tickTimers()
{
    // A handler may wait in a modal box while later seconds are ticked from inside it, so the
    // timers are looked up afresh for each one rather than held across the calls.
    for (const QString &name : std::vector<QString>(m_timerOrder)) {
        Timer &timer = control(name, Kind::Timer).timer;
        if (timer.intervalMs <= 0)
            continue;
        if (++timer.secondsSinceTick * 1000 < timer.intervalMs)
            continue;
        timer.secondsSinceTick = 0;
        if (timer.onTick)
            timer.onTick();
    }
}

Platform::Control &Platform::control(const QString &name, Kind kind)
{
    return const_cast<Control &>(std::as_const(*this).control(name, kind));
}

const Platform::Control &Platform::control(const QString &name, Kind kind) const
{
    const auto found = m_controls.find(name);
    if (found == m_controls.end() || found->second.kind != kind)
        qFatal("No control named %s of the kind asked for", qUtf8Printable(name));
    return found->second;
}

QString Platform::caption(const QString &name) const
{
    const auto found = m_controls.find(name);
    if (found != m_controls.end() && found->second.kind == Kind::GroupBox)
        return static_cast<QGroupBox *>(found->second.widget.data())->title();
    return static_cast<QLabel *>(control(name, Kind::Label).widget.data())->text();
}

void Platform::setCaption(const QString &name, const QString &text)
{
    const auto found = m_controls.find(name);
    if (found != m_controls.end() && found->second.kind == Kind::GroupBox)
        static_cast<QGroupBox *>(found->second.widget.data())->setTitle(text);
    else
        static_cast<QLabel *>(control(name, Kind::Label).widget.data())->setText(text);
}

QString Platform::content(const QString &name) const
{
    QWidget *box = control(name, Kind::EditBox).widget;
    if (auto *line = qobject_cast<QLineEdit *>(box))
        return line->text();
    return static_cast<QPlainTextEdit *>(box)->toPlainText();
}

void Platform::setContent(const QString &name, const QString &text)
{
    QWidget *box = control(name, Kind::EditBox).widget;
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->setText(text);
    else
        static_cast<QPlainTextEdit *>(box)->setPlainText(text);
}

bool Platform::isDisabled(const QString &name) const
{
    return !control(name, Kind::Button).widget->isEnabled();
}

void Platform::setDisabled(const QString &name, bool disabled)
{
    control(name, Kind::Button).widget->setEnabled(!disabled);
}

int Platform::interval(const QString &timer) const
{
    return control(timer, Kind::Timer).timer.intervalMs;
}

void Platform::setInterval(const QString &timer, int intervalMs)
{
    Timer &target = control(timer, Kind::Timer).timer;
    target.intervalMs = intervalMs;
    target.secondsSinceTick = 0;
}

QString Platform::fileName(const QString &fileDialog) const
{
    return control(fileDialog, Kind::FileDialog).fileName;
}

bool Platform::isWindowVisible() const
{
    return m_window->isVisible();
}

void Platform::setWindowVisible(bool visible)
{
    // A window put away in the tray comes back restored: shown minimised, it would be neither
    // on the screen nor in the tray.
    if (visible && !m_window->isVisible())
        m_window->showRestored();
    else
        m_window->setVisible(visible);
    m_hiddenInTray = !visible;
}

void Platform::bringBackIfTrayGone()
{
    // With the notification area gone (its panel ended or crashed), nothing could bring the
    // window back. Qt keeps the news of it to itself, so it is looked for on the second the
    // program wakes up for anyway, and only while the window is away.
    if (!m_hiddenInTray || m_services.tray->hostAvailable())
        return;
    setWindowVisible(true);
    setWindowState(0);
}

int Platform::windowState() const
{
    if (m_window->isMinimized())
        return 2;
    return m_window->isMaximized() ? 1 : 0;
}

void Platform::setWindowState(int state)
{
    const Qt::WindowStates others
        = m_window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (state) {
    case 2:
        m_window->setWindowState(others | Qt::WindowMinimized);
        break;
    case 1:
        m_window->setWindowState(others | Qt::WindowMaximized);
        break;
    default:
        m_window->setWindowState(others);
        // Coming back from the tray, the window belongs in front of the others.
        if (m_window->isVisible()) {
            m_window->raise();
            m_window->activateWindow();
        }
        break;
    }
}

QDateTime Platform::now() const
{
    return m_services.clock->now();
}

int Platform::messageBox(const QString &text, int style, const QString &title)
{
    return m_services.messageBox->show(text, style, title);
}

void Platform::showFileDialog(const QString &name)
{
    Control &dialog = control(name, Kind::FileDialog);
    const QString filter = dialog.filter;
    const QString chosen = m_services.fileDialog->chooseFile(filter);
    // The dialog is modal and events went on meanwhile; look the control up again.
    control(name, Kind::FileDialog).fileName = chosen;
}

void Platform::prepareMusic()
{
    m_services.player->prepare();
}

void Platform::playMusic(int loops, const QString &path)
{
    m_services.player->play(loops, path);
}

void Platform::stopMusic()
{
    m_services.player->stop();
}

void Platform::openWebAddress(const QString &address)
{
    m_services.browser->open(address);
}

void Platform::installTrayIcon(const QString &toolTip, const QString &toggleEntry)
{
    m_services.tray->install(m_icon, toolTip, toggleEntry, [this](int operationType) {
        if (m_onTrayEvent)
            m_onTrayEvent(operationType);
    });
}

bool Platform::isTrayAvailable() const
{
    return m_services.tray->hostAvailable();
}

void Platform::setThemedLook(int style)
{
    // The one look on offer is the toolkit's own themed style, the same on every desktop.
    if (style != 1)
        return;
    if (QStyle *fusion = QStyleFactory::create(u"Fusion"_s))
        QApplication::setStyle(fusion);
}

QWidget *Platform::window() const
{
    return m_window.get();
}

QWidget *Platform::widget(const QString &name) const
{
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second.widget.data();
}

SecondPulse &Platform::pulse()
{
    return *m_pulse;
}

} // namespace ticora

namespace ticora {

QString dateTimeText(const QDateTime &dateTime)
{
    return dateTime.toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

} // namespace ticora

#include "desktop_services.h"

#include "services.h"
#include "tray_clicks.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibrary>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace ticora {

namespace {

QString caseInsensitive(const QString &pattern)
{
    QString result;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += u'[' + c.toLower() + c.toUpper() + u']';
        else
            result += c;
    }
    return result;
}

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The text as a message box can show it in full on a screen of that size, its OK button on the
// screen too: the whole text, or as much of its beginning as fits, followed by "…".
QString beginningThatFits(const QString &text, const QFont &font, QSize screen)
{
    // A box wraps its text between words at half the screen's width or 500 pixels, whichever
    // is less; a longer word widens it, up to a limit beyond which the word is cut off unseen.
    // So the text fits where, wrapped at that width, every line keeps within it, and the lines
    // take at most two fifths of the screen's height: the box is centred, and its title bar,
    // buttons and, once opened, its details below need the rest.
    const QFontMetrics metrics(font);
    const QRect area(0, 0, std::min(screen.width() / 2, 500), 0);
    const auto fits = [&](const QString &shown) {
        const QRect needed = metrics.boundingRect(area, Qt::TextWordWrap, shown);
        return needed.width() <= area.width() && needed.height() <= screen.height() * 2 / 5;
    };
    if (fits(text))
        return text;
    const QString more = u"…"_s;
    qsizetype shortest = 0;
    qsizetype longest = text.size();
    while (shortest < longest) {
        const qsizetype middle = (shortest + longest + 1) / 2;
        if (fits(text.left(middle) + more))
            shortest = middle;
        else
            longest = middle - 1;
    }
    // Never half a character: not a lone surrogate, nor an accent without its letter.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(shortest);
    if (!characters.isAtBoundary())
        shortest = characters.toPreviousBoundary();
    return text.left(shortest) + more;
}

class DesktopMessageBox final : public MessageBox {
    static constexpr int minimumBoxWidth = 260;

public:
    int show(const QString &text, int style, const QString &title) override
    {
        QMessageBox box(style == 16 ? QMessageBox::Critical : QMessageBox::Information, title, {},
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        // A box grows with its text, beyond the screen if need be, and its OK button with it:
        // a reminder of a whole page could then never be acknowledged. What does not fit is
        // shown in part, and whole in the details, which scroll.
        const QString beginning
            = beginningThatFits(text, box.font(), box.screen()->availableGeometry().size());
        box.setText(beginning);
        if (beginning != text)
            box.setDetailedText(text);
        // Sized to its text alone, a short reminder makes a box so narrow that the window
        // manager cuts its title down to a letter.
        if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
            grid->addItem(new QSpacerItem(minimumBoxWidth, 0), grid->rowCount(), 0, 1,
                          grid->columnCount());
        box.setWindowModality(Qt::ApplicationModal);
        // The box has no parent so that it shows even while the window sits in the tray.
        box.setWindowIcon(QApplication::windowIcon());
        box.exec();
        // OK is its only answer, the details button only shows the text: however the box was
        // closed, that was the answer.
        return 0;
    }
};

class DesktopFileDialog final : public FileDialog {
public:
    QString chooseFile(const QString &filter) override
    {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(qtNameFilters(filter));
        const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        dialog.setDirectory(QFileInfo::exists(music) ? music : QDir::homePath());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

// The player proper lives in a module of its own (media_player.cpp), loaded when the player is
// first prepared: linked in, Qt Multimedia and the audio libraries beneath it would load at
// start-up and stay for days in a program that may never play a note.
class DesktopMusicPlayer final : public MusicPlayer {
public:
    DesktopMusicPlayer()
    {
        m_start.setSingleShot(true);
        QObject::connect(&m_start, &QTimer::timeout, &m_start, [this] { playPending(); });
    }

    void prepare() override
    {
        if (load())
            m_player->prepare();
    }

    void play(int loops, const QString &path) override
    {
        // Started from the event loop rather than here: the alert box is shown right after this
        // call, and loading the file would hold the box back for as long as that takes.
        m_pending = Request{loops, path};
        m_start.start(0);
    }

    void stop() override
    {
        m_pending.reset();
        m_start.stop();
        if (m_player)
            m_player->stop();
    }

private:
    struct Request {
        int loops;
        QString path;
    };

    void playPending()
    {
        const std::optional<Request> request = std::exchange(m_pending, std::nullopt);
        if (request && load())
            m_player->play(request->loops, request->path);
    }

    bool load()
    {
        if (!m_player && !m_unavailable) {
            m_player = loadPlayerModule();
            m_unavailable = !m_player;
        }
        return m_player != nullptr;
    }

    static std::unique_ptr<MusicPlayer> loadPlayerModule()
    {
        // Beside the program in the build tree; in the program's library folder once installed.
        const QString home = QCoreApplication::applicationDirPath();
        const QString installed = home + u'/' + QStringLiteral(TICORA_PLAYER_DIR);
        QString problems;
        for (const QString &folder : {home, installed}) {
            QLibrary module(folder + u"/ticora-player"_s);
            using Create = MusicPlayer *(*)();
            if (const auto create
                = reinterpret_cast<Create>(module.resolve("ticora_create_player")))
                return std::unique_ptr<MusicPlayer>(create());
            problems += u"\n  "_s + module.errorString();
        }
        qWarning("ticora: no music: the player module would not load:%s", qUtf8Printable(problems));
        return nullptr;
    }

    QTimer m_start;
    std::optional<Request> m_pending;
    std::unique_ptr<MusicPlayer> m_player;
    bool m_unavailable = false;
};

class DesktopBrowser final : public Browser {
public:
    void open(const QString &address) override { QDesktopServices::openUrl(QUrl(address)); }
};

// The name a StatusNotifierItem host's watcher owns on the session bus.
constexpr auto notifierWatcher = "org.kde.StatusNotifierWatcher";

// Whether the desktop's tray host opens the icon's menu on a left click: told by the program
// that owns the notifier watcher, which is the host's own shell on the desktops that do it.
bool trayHostOpensMenuOnLeftClick()
{
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    const QDBusReply<uint> pid = bus->servicePid(QString::fromLatin1(notifierWatcher));
    if (!pid.isValid())
        return false;
    QFile name(u"/proc/%1/comm"_s.arg(pid.value()));
    if (!name.open(QIODevice::ReadOnly))
        return false;
    return hostOpensMenuOnLeftClick(QString::fromUtf8(name.readAll()).trimmed());
}

class SystemTray final : public TrayIcon {
public:
    void install(const QIcon &icon, const QString &toolTip, const QString &toggleEntry,
                 std::function<void(int)> onEvent) override
    {
        m_clicks = std::make_unique<TrayClicks>(std::move(onEvent));
        m_icon.setIcon(icon);
        m_icon.setToolTip(toolTip);
        QObject::connect(&m_icon, &QSystemTrayIcon::activated, &m_icon,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             m_clicks->activated(trayOperationType(reason));
                         });
        QAction *entry = m_menu.addAction(toggleEntry);
        QObject::connect(entry, &QAction::triggered, &m_menu, [this] { m_clicks->entryChosen(); });
        QObject::connect(&m_menu, &QMenu::aboutToShow, &m_menu, [this] { m_clicks->menuOpened(); });
        QObject::connect(&m_menu, &QMenu::aboutToHide, &m_menu, [this] { m_clicks->menuClosed(); });
        // The host may restart, or another desktop's take its place.
        m_watcher.setConnection(QDBusConnection::sessionBus());
        m_watcher.addWatchedService(QString::fromLatin1(notifierWatcher));
        QObject::connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, &m_icon,
                         [this] { offerMenuWhereHostWantsIt(); });
        offerMenuWhereHostWantsIt();
        m_icon.show();
    }

    bool hostAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    void offerMenuWhereHostWantsIt()
    {
        // Elsewhere a menu would only put a pointless popup on the right button.
        m_icon.setContextMenu(trayHostOpensMenuOnLeftClick() ? &m_menu : nullptr);
    }

    QSystemTrayIcon m_icon;
    QMenu m_menu;
    QDBusServiceWatcher m_watcher;
    std::unique_ptr<TrayClicks> m_clicks;
};

} // namespace

QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = caseInsensitive(pattern.trimmed());
        filters << parts[i] + u" ("_s + patterns.join(u' ') + u')';
    }
    return filters;
}

int trayOperationType(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return 1;
    case QSystemTrayIcon::DoubleClick:
        return 2;
    case QSystemTrayIcon::Context:
        return 3;
    case QSystemTrayIcon::MiddleClick:
        return 4;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 0;
}

std::optional<QString> missingDisplay()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return std::nullopt;
    return u"no graphical display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)"_s;
}

void prepareDesktopEnvironment()
{
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    // MP3 is decoded by mpg123, from GStreamer's good plugins. Where FFmpeg's plugins are there
    // too, GStreamer would take their decoder, of the same rank but first by name, and load some
    // sixty FFmpeg libraries for one file: the first alert's music later, and some 30 MB more
    // for as long as the program runs.
    if (!qEnvironmentVariableIsSet("GST_PLUGIN_FEATURE_RANK"))
        qputenv("GST_PLUGIN_FEATURE_RANK", "mpg123audiodec:PRIMARY");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY")
        && qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void prepareApplication()
{
    QApplication::setApplicationName(u"Ticora"_s);
    QApplication::setApplicationVersion(u"2.0"_s);
    QApplication::setDesktopFileName(u"ticora"_s);
    // The boxes' and the file dialog's own buttons speak the user's language.
    auto *qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QLocale(), u"qtbase"_s, u"_"_s,
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    // The window's close ends the program; nothing else may, not even the last box closing
    // while the window sits in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
}

Services desktopServices()
{
    return {std::make_unique<SystemClock>(),       std::make_unique<DesktopMessageBox>(),
            std::make_unique<DesktopFileDialog>(), std::make_unique<DesktopMusicPlayer>(),
            std::make_unique<DesktopBrowser>(),    std::make_unique<SystemTray>()};
}

} // namespace ticora

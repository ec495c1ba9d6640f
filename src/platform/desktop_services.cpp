#include "desktop_services.h"

#include "services.h"

#include <QApplication>
#include <QAudioOutput>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <QUrl>

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

// Qt Multimedia is loaded on first need: a program that idles in the tray for days should
// not carry an audio pipeline it may never use.
class DesktopMusicPlayer final : public MusicPlayer {
public:
    void prepare() override
    {
        if (m_player)
            return;
        if (!m_output)
            m_output = std::make_unique<QAudioOutput>();
        m_player = std::make_unique<QMediaPlayer>();
        m_player->setAudioOutput(m_output.get());
        // The repeats are counted here: Qt 6.4's GStreamer backend neither honours setLoops()
        // reliably nor plays again after a seek back from the end, so each round reloads the
        // file. Queued, so that the backend has finished with its end-of-stream first.
        QObject::connect(
            m_player.get(), &QMediaPlayer::mediaStatusChanged, m_player.get(),
            [this] { playAgainIfDue(); }, Qt::QueuedConnection);
    }

    void play(int loops, const QString &path) override
    {
        stop();
        prepare();
        m_playsLeft = loops < 0 ? -1 : std::max(loops, 1);
        m_player->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        m_player->play();
    }

    void stop() override
    {
        m_playsLeft = 0;
        if (!m_player)
            return;
        // Told to stop, or given another file, a player whose file could not be played (none
        // there, a folder, not MP3) waits a whole second for its broken pipeline, the program
        // frozen meanwhile. Such a player has nothing to stop: it is dropped instead, at once.
        if (m_player->error() == QMediaPlayer::NoError)
            m_player->stop();
        else
            m_player.reset();
    }

private:
    void playAgainIfDue()
    {
        // A file with nothing in it would otherwise be reloaded as fast as the machine can.
        if (m_player->mediaStatus() != QMediaPlayer::EndOfMedia || m_player->duration() <= 0
            || m_playsLeft == 0 || (m_playsLeft > 0 && --m_playsLeft == 0))
            return;
        const QUrl source = m_player->source();
        m_player->setSource({});
        m_player->setSource(source);
        m_player->play();
    }

    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    // How many more times the file is to be played, counting the current one; -1 for ever.
    int m_playsLeft = 0;
};

class DesktopBrowser final : public Browser {
public:
    void open(const QString &address) override { QDesktopServices::openUrl(QUrl(address)); }
};

class SystemTray final : public TrayIcon {
public:
    void install(const QIcon &icon, const QString &toolTip,
                 std::function<void(int)> onEvent) override
    {
        m_icon.setIcon(icon);
        m_icon.setToolTip(toolTip);
        QObject::connect(&m_icon, &QSystemTrayIcon::activated, &m_icon,
                         [onEvent = std::move(onEvent)](QSystemTrayIcon::ActivationReason reason) {
                             onEvent(trayOperationType(reason));
                         });
        m_icon.show();
    }

    bool hostAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    QSystemTrayIcon m_icon;
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
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY")
        && qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void prepareApplication()
{
    QApplication::setApplicationName(u"Ticora"_s);
    QApplication::setApplicationVersion(u"2.0"_s);
    QApplication::setDesktopFileName(u"ticora"_s);
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

// The music player proper. It is built as a module of its own, which the program loads when
// it first needs a player (see desktop_services.cpp), and with it Qt Multimedia.
#include "services.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace ticora {

namespace {

class MediaMusicPlayer final : public MusicPlayer {
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
        // Emptied first: handed the file it was stopped part-way through, Qt 6.4's GStreamer
        // backend keeps its old pipeline, which then stamps the sound for a moment hours ahead
        // and the alert stays silent.
        m_player->setSource({});
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

} // namespace

} // namespace ticora

extern "C" Q_DECL_EXPORT ticora::MusicPlayer *ticora_create_player()
{
    return new ticora::MediaMusicPlayer;
}

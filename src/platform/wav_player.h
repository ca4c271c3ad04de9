// Plays one WAV image at a time from memory through Qt Multimedia, reading the
// samples in place. A new sound stops the one playing. Where nothing can be
// played (no sound server, no device, no PCM) it stays silent.
#pragma once

#include <QAudioFormat>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <memory>

class QAudioSink;

namespace tarvo {

class WavPlayer : public QObject {
    Q_OBJECT
public:
    explicit WavPlayer(QObject *parent = nullptr);
    ~WavPlayer() override;

    void play(const std::uint8_t *image, std::size_t size);
    void stop();
    // Whether a sound is being played right now.
    bool playing() const;

private:
    std::unique_ptr<QAudioSink> sink_;
    QByteArray samples_;
    QBuffer buffer_;
};

} // namespace tarvo

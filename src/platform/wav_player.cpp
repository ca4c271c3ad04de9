#include "wav_player.h"

#include "wav_image.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

namespace tarvo {

WavPlayer::WavPlayer(QObject *parent) : QObject(parent) {}

WavPlayer::~WavPlayer() { stop(); }

void WavPlayer::stop() {
    if (sink_) sink_->stop();
    buffer_.close();
    buffer_.setData(QByteArray());
    samples_.clear();
}

bool WavPlayer::playing() const {
    return sink_ && sink_->state() == QAudio::ActiveState;
}

void WavPlayer::play(const std::uint8_t *image, std::size_t size) {
    stop(); // the old bytes are never read again after this
    const auto wav = ParseWavImage(image, size);
    if (!wav || wav->dataSize == 0) return;

    QAudioFormat format;
    format.setSampleRate(wav->sampleRate);
    format.setChannelCount(wav->channels);
    format.setSampleFormat(wav->bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(format)) return;
    // A fresh output stream for every sound: a stopped sink that is started
    // again now and then stays silent.
    sink_ = std::make_unique<QAudioSink>(device, format);
    samples_ = QByteArray::fromRawData(reinterpret_cast<const char *>(image + wav->dataOffset), qsizetype(wav->dataSize));
    buffer_.setData(samples_);
    if (!buffer_.open(QIODevice::ReadOnly)) return;
    sink_->start(&buffer_);
}

} // namespace tarvo

#include "gui/audio_output.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QEventLoop>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

namespace {

constexpr int preferredSampleRate = 44100;
// The two sounds are quieter than a preview: they only acknowledge.
constexpr double soundAmplitude = 0.35;
// Played after the last tone, so that the card's buffer has drained when the sound ends.
constexpr PlayedTone trailingSilence{0, 60};
// Time a device may lag behind the tones before the sound is ended anyway.
constexpr int deadlineSlackMs = 2000;
// How often a sound whose samples are all handed over is asked whether it has played.
constexpr int drainPollMs = 10;

// Rising: done.
const std::vector<PlayedTone> informationPattern{{1047, 70}, {0, 20}, {1568, 110}};
// Falling and longer: something went wrong.
const std::vector<PlayedTone> errorPattern{{523, 140}, {0, 40}, {349, 260}};

} // namespace

// The synthesizer's samples in the format the sound card asked for.
class ToneSource : public QIODevice {
public:
    ToneSource(std::vector<PlayedTone> tones, const QAudioFormat& format, double amplitude)
        : synthesizer_(std::move(tones), format.sampleRate(), amplitude), format_(format) {
        open(QIODevice::ReadOnly);
    }

    void fadeOut() { synthesizer_.fadeOut(); }
    // How long all of the samples play.
    qint64 durationUs() const { return synthesizer_.totalSamples() * 1000000 / synthesizer_.sampleRate(); }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return synthesizer_.finished(); }
    qint64 bytesAvailable() const override {
        const qint64 frames = synthesizer_.totalSamples() - synthesizer_.position();
        return frames * format_.bytesPerFrame() + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const int frameBytes = format_.bytesPerFrame();
        const int sampleBytes = format_.bytesPerSample();
        const auto frames = static_cast<std::size_t>(std::max<qint64>(maxSize / frameBytes, 0));
        mono_.resize(frames);
        const std::size_t made = synthesizer_.render(mono_);
        char* out = data;
        for (std::size_t i = 0; i < made; ++i) {
            const float value = static_cast<float>(mono_[i]) / 32768.0f;
            for (int channel = 0; channel < format_.channelCount(); ++channel) {
                switch (format_.sampleFormat()) {
                case QAudioFormat::UInt8: {
                    const auto v = static_cast<quint8>(128 + mono_[i] / 256);
                    std::memcpy(out, &v, sizeof v);
                    break;
                }
                case QAudioFormat::Int16:
                    std::memcpy(out, &mono_[i], sizeof(qint16));
                    break;
                case QAudioFormat::Int32: {
                    const qint32 v = qint32{mono_[i]} * 65536;
                    std::memcpy(out, &v, sizeof v);
                    break;
                }
                case QAudioFormat::Float:
                    std::memcpy(out, &value, sizeof value);
                    break;
                default:
                    std::memset(out, 0, static_cast<std::size_t>(sampleBytes));
                    break;
                }
                out += sampleBytes;
            }
        }
        return static_cast<qint64>(made) * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ToneSynthesizer synthesizer_;
    QAudioFormat format_;
    std::vector<qint16> mono_;
};

AudioOutput::AudioOutput(QObject* parent)
    : QObject(parent), deadline_(std::make_unique<QTimer>()), drain_(std::make_unique<QTimer>()) {
    deadline_->setSingleShot(true);
    connect(deadline_.get(), &QTimer::timeout, this, &AudioOutput::stop);
    drain_->setInterval(drainPollMs);
    connect(drain_.get(), &QTimer::timeout, this, &AudioOutput::checkPlayed);
}

AudioOutput::~AudioOutput() {
    // Nobody waits for the end any more.
    blockSignals(true);
    stop();
}

bool AudioOutput::start(std::vector<PlayedTone> tones, double amplitude) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(preferredSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) format = device.preferredFormat();
    if (!format.isValid() || format.sampleFormat() == QAudioFormat::Unknown) return false;

    std::int64_t totalMs = trailingSilence.milliseconds;
    for (const PlayedTone& tone : tones)
        totalMs += std::clamp<std::int64_t>(tone.milliseconds, 0, ToneSynthesizer::longestToneMs);
    tones.push_back(trailingSilence);

    auto sink = std::make_unique<QAudioSink>(device, format);
    auto source = std::make_unique<ToneSource>(std::move(tones), format, amplitude);
    source->setParent(sink.get());
    source_ = source.release();
    sink_ = std::move(sink);
    connect(sink_.get(), &QAudioSink::stateChanged, this, &AudioOutput::sinkStateChanged);
    sink_->start(source_);
    if (sink_->error() != QAudio::NoError) {
        stop();
        return false;
    }
    // A timer's interval is an int of milliseconds; a longer sound simply has no deadline.
    if (totalMs + deadlineSlackMs < std::int64_t{INT_MAX})
        deadline_->start(static_cast<int>(totalMs + deadlineSlackMs));
    return true;
}

bool AudioOutput::play(std::vector<PlayedTone> tones) {
    if (!start(std::move(tones))) return false;
    QEventLoop loop;
    connect(this, &AudioOutput::finished, &loop, &QEventLoop::quit);
    if (playing()) loop.exec();
    return true;
}

bool AudioOutput::playing() const {
    return sink_ != nullptr;
}

void AudioOutput::fadeOut() {
    if (!source_) return;
    source_->fadeOut();
    deadline_->start(deadlineSlackMs);
}

void AudioOutput::stop() {
    deadline_->stop();
    drain_->stop();
    if (!sink_) return;
    // The sink may be the sender of the signal being handled: it goes once that is done.
    QAudioSink* sink = sink_.release();
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
    source_ = nullptr;
    emit finished();
}

void AudioOutput::sinkStateChanged() {
    if (!sink_) return;
    const QAudio::State state = sink_->state();
    if (state == QAudio::StoppedState) {
        stop();
    } else if (state == QAudio::IdleState && source_ && source_->atEnd()) {
        // Every sample has been handed over, but the card still holds the last ones:
        // stopping now would cut them off.
        drain_->start();
    }
}

void AudioOutput::checkPlayed() {
    if (!sink_ || !source_ || sink_->processedUSecs() >= source_->durationUs()) stop();
}

void AudioOutput::playInformationSound() {
    if (!start(informationPattern, soundAmplitude)) QApplication::beep();
}

void AudioOutput::playErrorSound() {
    if (!start(errorPattern, soundAmplitude)) QApplication::beep();
}

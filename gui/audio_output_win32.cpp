// The program's sound on Windows: the speaker tone (Beep) for each note of a preview and the
// system's own information and error sounds (MessageBeep).

#include "gui/audio_output.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <windows.h>

namespace {

// The frequencies the speaker tone takes; anything else is played as a pause.
constexpr int lowestBeepHz = 37;
constexpr int highestBeepHz = 32767;
// The speaker tone holds the program while it sounds, and a pause is a wait: both go in
// slices this long, with the window's events taken between them, so that the window
// repaints and Escape ends the preview within half a second, not after the note.
constexpr std::int64_t toneSliceMs = 500;
constexpr std::int64_t pauseSliceMs = 50;

} // namespace

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) {}

AudioOutput::~AudioOutput() = default;

// start() returns once the tones have played, or stop() ended them.
bool AudioOutput::start(std::vector<PlayedTone> tones, double) {
    stop();
    playing_ = true;
    stopping_ = false;
    for (const PlayedTone& tone : tones) {
        const std::int64_t ms =
            std::clamp<std::int64_t>(tone.milliseconds, 0, ToneSynthesizer::longestToneMs);
        if (tone.frequencyHz >= lowestBeepHz && tone.frequencyHz <= highestBeepHz) {
            for (std::int64_t left = ms; left > 0 && !stopping_; left -= toneSliceMs) {
                ::Beep(static_cast<DWORD>(tone.frequencyHz), static_cast<DWORD>(std::min(left, toneSliceMs)));
                QCoreApplication::processEvents();
            }
        } else {
            const QDeadlineTimer end(ms);
            while (!stopping_ && !end.hasExpired()) {
                QThread::msleep(
                    static_cast<unsigned long>(std::min<std::int64_t>(end.remainingTime(), pauseSliceMs)));
                QCoreApplication::processEvents();
            }
        }
        if (stopping_) break;
    }
    stop();
    return true;
}

bool AudioOutput::play(std::vector<PlayedTone> tones) {
    return start(std::move(tones));
}

bool AudioOutput::playing() const {
    return playing_;
}

// A speaker tone cannot fade: the notes stop after the one sounding.
void AudioOutput::fadeOut() {
    stop();
}

void AudioOutput::stop() {
    stopping_ = true;
    if (!playing_) return;
    playing_ = false;
    emit finished();
}

void AudioOutput::playInformationSound() {
    ::MessageBeep(MB_ICONASTERISK);
}

void AudioOutput::playErrorSound() {
    ::MessageBeep(MB_ICONHAND);
}

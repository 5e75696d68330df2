#pragma once
// The program's sound: lists of (frequency, milliseconds) tones, pauses included, for the
// ringtone preview, and the information and error sounds.
// On Linux (audio_output.cpp) the tones go through the sound card and the two sounds are
// short tone patterns; without a sound output the preview is silent and the two sounds fall
// back to the desktop's beep; nothing fails for want of a sound card.
// On Windows (audio_output_win32.cpp) the tones are the speaker's (Beep), one after the
// other, and the two sounds are the system's own (MessageBeep).

#include <memory>
#include <vector>

#include <QObject>

#include "core/formats/tone_synthesis.h"

class QAudioSink;
class QTimer;
class ToneSource;

class AudioOutput : public QObject {
    Q_OBJECT

public:
    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;

    // Starts the tones and returns at once (on Windows once they have played); a sound still
    // playing is cut off. False, and silent, when the machine has no sound output.
    bool start(std::vector<PlayedTone> tones, double amplitude = ToneSynthesizer::defaultAmplitude);
    // Plays the tones and returns when they have played or stop() was called. The window
    // keeps repainting meanwhile (a local event loop); handling the operator's input
    // during the wait is the caller's business.
    bool play(std::vector<PlayedTone> tones);
    // Ends the tones early with a short fade, so that they stop without a click.
    void fadeOut();
    // Ends them at once.
    void stop();
    bool playing() const;

    void playInformationSound();
    void playErrorSound();

signals:
    void finished();

private:
#if defined(_WIN32)
    bool playing_ = false;
    bool stopping_ = false;
#else
    void sinkStateChanged();
    void checkPlayed();

    std::unique_ptr<QAudioSink> sink_;
    ToneSource* source_ = nullptr; // a child of the sink, which reads it
    // Ends a sound whose device stops asking for samples, so no wait lasts for ever.
    std::unique_ptr<QTimer> deadline_;
    std::unique_ptr<QTimer> drain_;
#endif
};

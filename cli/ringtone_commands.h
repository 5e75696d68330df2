#pragma once
// tavofoxctl ringtone: a melody file encoded, rendered to a WAV file, or sent to a timer,
// each as the ringtone dialog does it.

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/transmit_commands.h"
#include "core/operator_panel.h"

// The preview's sample rates: every frequency of the preview lies below half the lowest.
inline constexpr int ringtoneWavDefaultRate = 44100;
inline constexpr int ringtoneWavLowestRate = 16000;
inline constexpr int ringtoneWavHighestRate = 192000;

// "encode FILE": the block the timer receives, on out.
int encodeRingtone(const std::string& path, std::ostream& out, std::ostream& err);
// "wav FILE OUT.wav [--rate HZ]": the preview as a WAV file at sampleRate.
int renderRingtoneWav(const std::string& path, const std::string& wavPath, int sampleRate, std::ostream& err);

// "send FILE [--bpm B] [--no-staccato]" before the timer is reached: the tempo and the file
// loaded and checked as the dialog checks them, its messages on panel. Throws UsageError.
// A tempo given (already in the form's range) stands as if the operator had typed it.
RingtoneChoice checkRingtoneSend(const std::string& path, std::optional<int> beatsPerMinute, bool noStaccato,
                                 OperatorPanel& panel);
// The timer reached, its configuration read and checked, and the melody written with the
// configuration in the ringtone audio mode.
int sendRingtone(TimerCommandParts& parts, const RingtoneChoice& choice);

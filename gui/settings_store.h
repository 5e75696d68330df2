#pragma once
// The four values of TimerSettings that the window keeps between runs, in the per-user
// settings store named by the company key and the program's name.

#include <string>

struct TimerSettings;

// A value that is missing (or is no number where a number belongs) leaves its field.
void loadSettings(TimerSettings& settings);
void saveSettings(const TimerSettings& settings);

// The window's own choices, kept in the same section: the setup file last opened or saved
// ("SetupFile") and "Verify after writing" ("VerifyWrites", off unless chosen).
struct WindowChoices {
    std::string setupFile;
    bool verifyWrites = false;
};
WindowChoices loadWindowChoices();
void saveWindowChoices(const WindowChoices& choices);

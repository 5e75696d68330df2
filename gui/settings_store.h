#pragma once
// The four values of TimerSettings that the window keeps between runs, in the per-user
// settings store named by the company key and the program's name.

struct TimerSettings;

// A value that is missing (or is no number where a number belongs) leaves its field.
void loadSettings(TimerSettings& settings);
void saveSettings(const TimerSettings& settings);

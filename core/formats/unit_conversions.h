#pragma once
// Conversions between the operator's units and the timer's, rounded half up.

int hzToUnits(int hz, int clockHz);
int unitsToHz(int units, int clockHz);
int wpmToDotMs(int wpm);
int dotMsToWpm(int dotMs);

#pragma once
// The company key names the per-user settings store and the folder that holds the port
// directory, so the program's files of one user stay together.

inline constexpr const char* companyKey = "VOSK";

#pragma once
// The record of which timer got which setup: one line for every setup write, from the window
// or tavofoxctl, in writes.csv in the user's data folder ($XDG_DATA_HOME/VOSK/tavofox, by
// default ~/.local/share/VOSK/tavofox; %APPDATA%\VOSK\tavofox on Windows).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct WriteLogEntry {
    std::string time;  // local date and time, "2026-12-08 14:05:09"
    std::string port;  // "COM5", or the device path given
    std::string timer; // the identity line, "TAVO Timer P:684 M:64K  v2.1"
    std::string setup; // the setup file's full path
    std::string fox;   // the fox of an event; empty for a setup of its own
    std::string cycleId;
    std::string cwText; // UTF-8
    std::string outcome;
};

// The columns, as the file's first line names them.
inline constexpr const char* writeLogHeader = "time,port,timer,setup,fox,cycleId,cwText,outcome";

std::filesystem::path writeLogPath();
// "2026-12-08 14:05:09", now, in local time.
std::string writeLogNow();
// Appends entry (the header first when the file is new); false when the file cannot be
// written, which the write it records does not depend on.
bool appendWriteLog(const WriteLogEntry& entry);
// Every entry, oldest first; an empty list when there is no log yet, nothing when it cannot
// be read.
std::optional<std::vector<WriteLogEntry>> readWriteLog();
// One entry as a CSV line (without the line break), fields quoted where they need it.
std::string formatWriteLogLine(const WriteLogEntry& entry);

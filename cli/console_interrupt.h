#pragma once
// Ctrl-C while tavofoxctl talks to a timer ends the operation in order instead of the
// program: it sets the core's LinkInterrupt, so the block on the line is finished, no later
// block starts, and a timer left tuning still gets its end byte (else it takes the next
// program's command bytes as trims).

#include <memory>

// The exit status after Ctrl-C, as shells report a program ended by SIGINT.
inline constexpr int interruptedExit = 130;

// Catches SIGINT while it lives and gives the previous handling back at its end. The
// interruption is the core's flag: cleared by the command line at the start of a command,
// not by a catcher.
class InterruptCatcher {
public:
    // A waiting read of the input ends at once unless restartCalls, which lets writes to the
    // terminal go on instead (the serial port's waits see the interruption either way).
    explicit InterruptCatcher(bool restartCalls);
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    bool interrupted() const;
    // Gives SIGINT back before the end of its life; the interruption seen so far stays.
    void release();

private:
    struct Previous;
    std::unique_ptr<Previous> previous_; // null when SIGINT is not (or no longer) ours
};

#pragma once
// The operator's request to stop what goes to the timer: Ctrl-C on the command line, Escape
// or the close box of the window's progress display. The front ends only set it (a signal
// handler may); the session honours it at the next block boundary: the block on the line is
// finished, so that the timer is back at its command prompt, and no later block starts.
// Commands that close what was begun still go out: the apply after a written block, the end
// of tuning.

namespace LinkInterrupt {
// Safe to call from a signal handler.
void request() noexcept;
bool requested() noexcept;
// At the start of each operation the front end runs.
void clear() noexcept;
} // namespace LinkInterrupt

#pragma once
// tavofoxctl and events: one fox of an event file written (write --from FILE --fox NAME) and
// the event's foxes and cycle printed (event FILE).

#include <iosfwd>
#include <string>

// The setup text of fox name in the file's content (file names it in messages): the event's
// lines with the fox's over them. The event's checks run first; its warnings go to err.
// A file with foxes and no name, or a name the file does not hold, is refused naming the
// foxes it holds. Throws UsageError.
std::string foxOfEvent(const std::string& file, const std::string& content, const std::string& name,
                       std::ostream& err);

// event FILE: one row per fox with its cycle ID and one character a slot, then the
// conflicts. Exit status 2 for a refused file or a cycle with a conflict.
int printEvent(const std::string& file, const std::string& content, std::ostream& out, std::ostream& err);

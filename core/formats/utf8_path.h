#pragma once
// File names in UTF-8, as the window and the command line hand them over.

#include <filesystem>
#include <string>
#include <string_view>

// The file a UTF-8 name names. On Windows the name becomes UTF-16 for the wide file calls,
// never the ANSI code page; text that is no UTF-8 names no file there (an empty path, which
// no open takes). POSIX names are bytes and pass unchanged.
std::filesystem::path utf8Path(std::string_view utf8);
// The other way: a path as UTF-8 text, its separators forward slashes (which Windows takes
// too), so that names written into files read the same on both systems.
std::string utf8Name(const std::filesystem::path& path);
// A file to read must be one: the open of a FIFO without a writer, or the read of a device,
// would not end. False for a folder, FIFO, device or socket; true for a regular file and for
// a path that names nothing, whose open then fails in the reader's own words.
bool readableAsFile(const std::filesystem::path& path);

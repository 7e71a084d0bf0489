#pragma once

// Where the libraries' own warnings go instead of the terminal: Poppler's complaints about damaged
// files, libvips's and those of the image decoders under it (libjpeg, libpng, libtiff), Leptonica's.
// The user sees our message; a developer who wants the libraries' says so with QUORVANE_DEBUG:
// "1" writes them to standard error, a path appends them to that file, unset drops them.

#include <string>

namespace quorvane::DebugLog {

bool enabled();
void write(const char* source, const std::string& message);

// Routes the libraries' messages here. Cheap after the first call; call before a library speaks.
void captureLibraryMessages();

} // namespace quorvane::DebugLog

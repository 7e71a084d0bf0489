#pragma once

// What quorvane-cli's exit status tells a script. Listed by --help and in the README.

#include "core/OCRError.h"

#include <QString>
#include <optional>

namespace quorvane::cli::ExitStatus {

inline constexpr int done = 0;           // every document done, skipped or already searchable
inline constexpr int documentFailed = 1; // a document of a batch failed, or one alone failed otherwise
inline constexpr int usage = 2;
inline constexpr int unreadableInput = 3; // damaged, not a PDF or image, empty, or over the limits
inline constexpr int passwordRequired = 4;
inline constexpr int incorrectPassword = 5;
inline constexpr int outputNotWritten = 6;
inline constexpr int cancelled = 130; // as shells report a program stopped by Ctrl-C

// The status of a single document that failed with an error of this kind (none: another error).
int forFailure(std::optional<OCRError::Kind> kind);

// The table --help ends with.
QString helpText();

} // namespace quorvane::cli::ExitStatus

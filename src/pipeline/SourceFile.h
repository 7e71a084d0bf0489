#pragma once

// The first look at a source, before anything opens it: a named pipe would block the open, a
// device such as /dev/zero would be read for ever, and a file the user may not read is not damaged.

#include <QString>

namespace quorvane::SourceFile {

// Throws OCRError::cannotReadSource, naming the reason, unless `path` (after symbolic links) is a
// regular file this process may read.
void checkReadable(const QString& path);

} // namespace quorvane::SourceFile

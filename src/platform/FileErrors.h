#pragma once

// What a failed file-system call means to the user, as one sentence that names the cause.

#include <QString>
#include <optional>

namespace quorvane::FileErrors {

// Why `path` could not be written: "There is not enough space on the disk for "scan.pdf"."
QString writing(int error, const QString& path);

// Why a file could not be read, said of the file itself: "you are not allowed to read it".
QString reading(int error);

// Why `folder` and its missing parents could not be made, said of the folder: "a file of that name is
// in its place.", or none once it is there.
std::optional<QString> makeFolder(const QString& folder);

// Why a small file cannot be written into `folder` (the errno of the first failing step), or none
// when it can. For callers whose library keeps the reason to itself. The file is removed again.
std::optional<int> probeWriting(const QString& folder);

} // namespace quorvane::FileErrors

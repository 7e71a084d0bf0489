#pragma once

// This process's own folder for temporary files: inside the temporary folder (TMPDIR, else /tmp),
// open to this user only (mode 0700), removed when the program ends. A living process holds a
// lock on its folder; folders that a killed run left behind hold none and are removed by the next
// run that makes its own.

#include <QString>

namespace quorvane::PrivateTemporaryFolder {

// The folder, made on first use, and again when TMPDIR has changed or the folder has been removed.
// Throws PlatformError with the reason (as problem() words it) when it cannot be made. Safe to
// call from several threads.
QString path();

// The temporary folder the private one goes into: TMPDIR, or /tmp when it is not set.
QString parentFolder();

// Why a file could not be made or written in the temporary folder, from the system's error
// number: "the temporary folder "/x" does not exist", "... cannot be written to", "there is not
// enough space in the temporary folder "/x"".
QString problem(int errorNumber);

// How the files in this folder are named: `kind` + "-" + upper-case UUID + `extension`. A stale
// folder is emptied of files of these kinds only.
QString newFileName(const char* kind, const char* extension);

} // namespace quorvane::PrivateTemporaryFolder

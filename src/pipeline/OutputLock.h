#pragma once

// One writer per output. A run holds this lock from before its first page until it ends, so a
// second run for the same output, in this process or another, is refused at once instead of both
// writing and the later silently winning. The lock is an open-file-description lock (fcntl) on a
// hidden file beside the output, which the holder removes when it lets go; the system drops the
// lock of a killed run, so the file such a run leaves is simply taken over.

#include <QString>

namespace quorvane {

class OutputLock {
public:
    // Takes the lock for `outputPath`. Throws OCRError::outputWriteFailed when the name does not
    // fit the folder's file system, when the folder takes no files, or when another run holds it.
    explicit OutputLock(const QString& outputPath);
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    // Removes what killed runs for the same output left behind: hidden staged files of the output
    // and of its text copy. Only the lock's holder may call it; no other writer is alive then.
    void removeStaleStagedFiles() const;

    const QString& path() const { return lockPath_; }

private:
    QString outputPath_;
    QString lockPath_;
    int descriptor_ = -1;
};

} // namespace quorvane

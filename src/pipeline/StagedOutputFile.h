#pragma once

// A hidden file in the output folder that becomes the output in one atomic rename. Until then the
// output path is untouched, and the hidden file disappears whenever it does not become the output.

#include <QString>
#include <cstdio>

namespace quorvane {

class StagedOutputFile {
public:
    // Names the file "." + output base name + "." + fresh upper-case UUID + ".tmp.pdf" next to
    // `outputPath`; nothing is created yet.
    explicit StagedOutputFile(QString outputPath);
    ~StagedOutputFile(); // removes the hidden file if it is still there
    StagedOutputFile(const StagedOutputFile&) = delete;
    StagedOutputFile& operator=(const StagedOutputFile&) = delete;

    // Creates the hidden file, never replacing an existing one. False when the folder refuses.
    bool create();

    const QString& temporaryPath() const { return temporaryPath_; }
    FILE* stream() const { return stream_; }

    // Flushes the written bytes to the disk and closes the file. Throws PlatformError.
    void close();
    // Puts the closed file in place of the output, replacing any file there in one step and
    // keeping that file's permissions. Throws PlatformError.
    void commit();

private:
    QString outputPath_;
    QString temporaryPath_;
    FILE* stream_ = nullptr;
};

} // namespace quorvane

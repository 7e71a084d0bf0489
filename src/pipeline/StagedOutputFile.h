#pragma once

// A hidden file in the output folder that becomes the output in one atomic rename. Until then the
// output path is untouched, and the hidden file disappears whenever it does not become the output.
// Every write, the sync, the close and the rename are checked: a full disk fails the run with its
// cause instead of leaving a short file behind a good name.

#include <QString>
#include <qpdf/Pipeline.hh>
#include <sys/types.h>

namespace quorvane {

class StagedOutputFile {
public:
    // Names the file "." + output base name + "." + fresh upper-case UUID + ".tmp." + output
    // extension (".tmp.pdf") next to `outputPath`; nothing is created yet.
    explicit StagedOutputFile(QString outputPath);
    ~StagedOutputFile(); // removes the hidden file if it is still there
    StagedOutputFile(const StagedOutputFile&) = delete;
    StagedOutputFile& operator=(const StagedOutputFile&) = delete;

    // Creates the hidden file, never replacing an existing one, with `permissions` less the umask.
    // False when the folder refuses.
    bool create(mode_t permissions = 0666);

    // Permissions for a copy of what `source` holds: its owner may read and write it, the group and
    // others only as far as they may read and write the source. A private scan must not become a
    // searchable copy that everyone may read.
    static mode_t permissionsLike(const QString& source);

    // Where the bytes go. A failed write throws PlatformError naming the cause.
    Pipeline& pipeline() { return sink_; }

    // Flushes the written bytes to the disk and closes the file. Throws PlatformError.
    void close();
    // Puts the closed file in place of the output, replacing any file there in one step and
    // keeping that file's permissions. Throws PlatformError.
    void commit();

    // Whether `fileName` is a hidden file this class names for `outputPath` (any UUID).
    static bool isStagingNameOf(const QString& fileName, const QString& outputPath);

private:
    class Sink : public Pipeline {
    public:
        explicit Sink(StagedOutputFile& file) : Pipeline("staged output", nullptr), file_(file) {}
        void write(unsigned char const* data, size_t length) override;
        void finish() override {}

    private:
        StagedOutputFile& file_;
    };

    [[noreturn]] void fail(int error) const;

    QString outputPath_;
    QString temporaryPath_;
    int descriptor_ = -1;
    Sink sink_{*this};
};

} // namespace quorvane

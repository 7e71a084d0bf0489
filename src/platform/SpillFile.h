#pragma once

// Bytes set aside on disk instead of in memory, to be read back in pieces: a file in the private
// temporary folder that loses its name as soon as it is made, so that it is gone when this object
// goes, even after a crash. Made on the first append.

#include <QtGlobal>
#include <functional>
#include <mutex>
#include <string_view>

namespace quorvane {

class SpillFile {
public:
    struct Piece {
        qint64 offset = 0;
        qint64 size = 0;
    };

    SpillFile() = default;
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Where the bytes now lie; safe to call from several threads. Throws PlatformError saying what is wrong
    // with the temporary folder (PrivateTemporaryFolder::problem) when they cannot be written there.
    Piece append(std::string_view bytes);

    // Hands the piece's bytes to `sink` in chunks of at most 1 MiB. Throws std::runtime_error when
    // they cannot be read back.
    void read(Piece piece, const std::function<void(std::string_view)>& sink) const;

private:
  std::mutex mutex_;
  int fd_ = -1;
  qint64 size_ = 0;
};

} // namespace quorvane

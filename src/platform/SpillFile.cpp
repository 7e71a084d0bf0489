#include "platform/SpillFile.h"

#include "core/OCRError.h"
#include "platform/PrivateTemporaryFolder.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace quorvane {

namespace {

[[noreturn]] void fail(int error) {
    throw PlatformError(PrivateTemporaryFolder::problem(error));
}

} // namespace

SpillFile::~SpillFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

SpillFile::Piece SpillFile::append(std::string_view bytes) {
    const std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        const QByteArray path =
            QFile::encodeName(QDir(PrivateTemporaryFolder::path())
                                  .filePath(PrivateTemporaryFolder::newFileName("quorvane-image", ".spill")));
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            fail(errno);
        }
        ::unlink(path.constData());
    }
    const Piece piece{size_, qint64(bytes.size())};
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), size_);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            fail(written < 0 ? errno : ENOSPC);
        }
        bytes.remove_prefix(size_t(written));
        size_ += written;
    }
    return piece;
}

void SpillFile::read(Piece piece, const std::function<void(std::string_view)>& sink) const {
    std::string chunk(std::min<qint64>(piece.size, 1 << 20), '\0');
    for (qint64 done = 0; done < piece.size;) {
        const size_t wanted = size_t(std::min<qint64>(piece.size - done, qint64(chunk.size())));
        const ssize_t got = ::pread(fd_, chunk.data(), wanted, piece.offset + done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw std::runtime_error("the image data set aside could not be read back");
        }
        sink(std::string_view(chunk.data(), size_t(got)));
        done += got;
    }
}

} // namespace quorvane

#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace quorvane::FileNames {

namespace {

constexpr char16_t escapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
int sequenceLength(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    int length = 0;
    char32_t smallest = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2, smallest = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, smallest = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, smallest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    char32_t code = first & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past Unicode are not UTF-8.
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool isEscapedByte(QChar c) { return c.unicode() >= escapeBase + 0x80 && c.unicode() <= escapeBase + 0xFF; }

} // namespace

QString decode(const QByteArray& bytes) {
    QString name;
    qsizetype runStart = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int length = sequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + runStart, at - runStart);
        name += QChar(escapeBase + static_cast<unsigned char>(bytes[at]));
        runStart = ++at;
    }
    name += QString::fromUtf8(bytes.constData() + runStart, at - runStart);
    return name;
}

QByteArray encode(const QString& name) {
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A lone low surrogate in the escape range: not preceded by a high surrogate.
        if (isEscapedByte(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate())) {
            bytes += QStringView(name).mid(runStart, i - runStart).toUtf8();
            bytes += static_cast<char>(name[i].unicode() - escapeBase);
            runStart = i + 1;
        }
    }
    bytes += QStringView(name).mid(runStart).toUtf8();
    return bytes;
}

QString shown(const QString& name) {
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isEscapedByte(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate())) {
            const int byte = name[i].unicode() - escapeBase;
            text += QStringLiteral("\\x") + QString::number(byte, 16).toUpper();
        } else {
            text += name[i];
        }
    }
    return text;
}

std::optional<struct stat> status(const QString& path) {
    struct stat result {};
    if (::stat(encode(path).constData(), &result) != 0) {
        return std::nullopt;
    }
    return result;
}

bool exists(const QString& path) { return status(path).has_value(); }

bool isDirectory(const QString& path) {
    const auto found = status(path);
    return found && S_ISDIR(found->st_mode);
}

bool isWritable(const QString& path) {
    return ::access(encode(path).constData(), W_OK) == 0;
}

QDateTime modified(const struct stat& status) {
    return QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000 +
                                          status.st_mtim.tv_nsec / 1'000'000);
}

QString absolute(const QString& path) {
    if (path.isEmpty()) {
        return path; // names no file, as with QFileInfo: not the current folder
    }
    if (QDir::isAbsolutePath(path)) {
        return QDir::cleanPath(path);
    }
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error) {
        return QDir::cleanPath(path); // the current folder is gone: the path stays as relative as it was
    }
    return QDir::cleanPath(decode(QByteArray::fromStdString(current.native())) + QLatin1Char('/') + path);
}

bool openForReading(QFile& file, const QString& path) {
    const int descriptor = ::open(encode(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    return true;
}

QStringList entries(const QString& folder) {
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(encode(folder).constData()), &::closedir);
    if (!directory) {
        return names;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(decode(name));
        }
    }
    return names;
}

} // namespace quorvane::FileNames

#pragma once

// File names as the system stores them: bytes, usually UTF-8 but not always. Qt decodes a byte
// that is not UTF-8 as U+FFFD, after which the file cannot be found again, and leaves such names out
// of folder listings. Here each such byte becomes one lone surrogate (U+DC80 + byte), as Python's
// "surrogateescape" does, and turns back into the same byte on the way to the system. Valid UTF-8
// names come out exactly as Qt's.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/stat.h>

class QFile;

namespace quorvane::FileNames {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& name);

// The text to show for a name: each undecodable byte as "\xFF".
QString shown(const QString& name);

// stat(), following symbolic links; nothing when it fails (errno says why).
std::optional<struct stat> status(const QString& path);
bool exists(const QString& path);
bool isDirectory(const QString& path);

// Whether this user may write `path` (access(2)).
bool isWritable(const QString& path);
// The modification time that `status` holds, to the millisecond, as QFileInfo::lastModified gives it.
QDateTime modified(const struct stat& status);

// `path` made absolute against the current folder and cleaned as QDir::cleanPath does. QFileInfo
// turns the undecodable bytes of a relative path into U+FFFD on the way.
QString absolute(const QString& path);

// Opens `file` on `path` for reading; QFile::open cannot find an undecodable name.
bool openForReading(QFile& file, const QString& path);

// The names in a folder, undecodable ones included; "." and ".." left out.
QStringList entries(const QString& folder);

} // namespace quorvane::FileNames

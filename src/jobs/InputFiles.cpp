#include "jobs/InputFiles.h"

#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/OutputPath.h"
#include "pipeline/PDFAuxBuilder.h"
#include "pipeline/WrittenOutputs.h"
#include "platform/FileNames.h"
#include "platform/PdfDocument.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <sys/stat.h>

namespace quorvane::InputFiles {

bool isAcceptedInput(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("pdf") || ImagePDFBuilder::isSupportedImage(path);
}

std::optional<QString> whyNotTaken(const QString& path) {
    if (!FileNames::exists(path)) {
        struct stat status;
        const bool loop = ::stat(FileNames::encode(path).constData(), &status) != 0 && errno == ELOOP;
        return loop ? QStringLiteral("Its symbolic links lead round in a circle.")
                    : QStringLiteral("No such file or folder.");
    }
    if (!FileNames::isDirectory(path) && !isAcceptedInput(path)) {
        return QStringLiteral("Not a PDF or a supported image (%1).")
            .arg(ImagePDFBuilder::supportedExtensions().join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

QStringList expandInputs(const QStringList& paths) { return expand(paths, false).files; }

Expansion expand(const QStringList& paths, bool recursive, const QString& outputFolder) {
    Expansion expansion;
    // By its device and inode, however the folder was named.
    const auto output = outputFolder.isEmpty() ? std::nullopt : FileNames::status(outputFolder);
    const auto isOutputFolder = [&](const struct stat& folder) {
        return output && folder.st_dev == output->st_dev && folder.st_ino == output->st_ino;
    };
    QStringList& taken = expansion.files;
    QSet<QString> seen;
    const auto take = [&](const QString& path) {
        if (!isAcceptedInput(path)) {
            return;
        }
        const QString key = FileNames::absolute(path);
        if (!seen.contains(key)) {
            seen.insert(key);
            taken.append(path);
        }
    };
    // Listed by the system's names, not Qt's: Qt leaves out names that are not UTF-8.
    const std::function<void(const QString&)> takeFolder = [&](const QString& path) {
        const QDir folder(path);
        for (const auto& name : FileNames::entries(path)) {
            if (name.startsWith(QLatin1Char('.'))) {
                continue; // hidden, as our own staged and lock files are
            }
            const QString entryPath = folder.filePath(name);
            const auto entry = FileNames::status(entryPath);
            if (entry && S_ISREG(entry->st_mode)) {
                take(entryPath);
            } else if (entry && S_ISDIR(entry->st_mode)) {
                struct stat link {};
                const bool isLink =
                    ::lstat(FileNames::encode(entryPath).constData(), &link) == 0 && S_ISLNK(link.st_mode);
                if (isLink) {
                    expansion.unfollowedLinks += 1;
                } else if (isOutputFolder(*entry)) {
                    continue;
                } else if (recursive) {
                    takeFolder(entryPath);
                } else {
                    expansion.unsearchedFolders += 1;
                }
            }
        }
    };

    for (const auto& path : paths) {
        const auto status = FileNames::status(path);
        if (!status) {
            continue;
        }
        if (S_ISDIR(status->st_mode)) {
            takeFolder(path);
        } else {
            take(path);
        }
    }

    // Qt compares plainly, without numeric order, under the C locale (a common LANG on servers
    // and in containers); file names are then compared as English ones are.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                          : QLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(taken.begin(), taken.end(), [&](const QString& a, const QString& b) {
        return collator.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
    });
    return expansion;
}

namespace {

// A name alone does not make an output: a scan may have one (scan_2025-03-01.pdf beside scan.pdf
// under "{name}_{date}"). A damaged file is no copy (copies are written whole) and its run says
// why it fails. A locked one cannot tell, and is taken for the copy of a locked source, which
// keeps its source's password: a batch has none to give it, and would fail it every time.
bool isSearchableCopy(const QString& path) {
    bool locked = false;
    const auto attributes = PdfDocument::attributesOf(path, &locked);
    return attributes ? PDFAuxBuilder::isSearchableCopy(*attributes) : locked;
}

} // namespace

QStringList withoutOutputs(const QStringList& files, const QString& nameTemplate) {
    QHash<QString, QSet<QString>> outputsByFolder; // the output name keys of each folder's files
    const auto outputsIn = [&](const QString& folder) -> const QSet<QString>& {
        auto found = outputsByFolder.find(folder);
        if (found == outputsByFolder.end()) {
            QSet<QString> keys;
            const QDir directory(folder);
            for (const auto& name : FileNames::entries(folder)) {
                const QString path = directory.filePath(name);
                const auto status = FileNames::status(path);
                if (isAcceptedInput(name) && status && S_ISREG(status->st_mode)) {
                    keys.insert(OutputPath::outputNameKey(path, nameTemplate));
                }
            }
            found = outputsByFolder.insert(folder, keys);
        }
        return *found;
    };
    QStringList taken;
    for (const auto& file : files) {
        const QFileInfo info(FileNames::absolute(file));
        const QString key = OutputPath::nameKey(info.fileName());
        const bool namedAfterItself = OutputPath::outputNameKey(file, nameTemplate) == key;
        const bool output =
            WrittenOutputs::contains(file) ||
            (!namedAfterItself && outputsIn(info.path()).contains(key) && isSearchableCopy(file));
        if (!output) {
            taken.append(file);
        }
    }
    return taken;
}

} // namespace quorvane::InputFiles

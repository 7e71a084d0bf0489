#include "jobs/InputFiles.h"

#include "pipeline/ImagePDFBuilder.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <functional>

namespace quorvane::InputFiles {

bool isAcceptedInput(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("pdf") || ImagePDFBuilder::isSupportedImage(path);
}

QStringList expandInputs(const QStringList& paths) { return expand(paths, false).files; }

Expansion expand(const QStringList& paths, bool recursive) {
    Expansion expansion;
    QStringList& taken = expansion.files;
    QSet<QString> seen;
    const auto take = [&](const QString& path) {
        if (!isAcceptedInput(path)) {
            return;
        }
        const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (!seen.contains(key)) {
            seen.insert(key);
            taken.append(path);
        }
    };
    const std::function<void(const QString&)> takeFolder = [&](const QString& path) {
        const QDir folder(path);
        for (const auto& name : folder.entryList(QDir::Files, QDir::NoSort)) {
            take(folder.filePath(name));
        }
        for (const auto& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort)) {
            const QString subfolder = folder.filePath(name);
            if (recursive && !QFileInfo(subfolder).isSymLink()) {
                takeFolder(subfolder);
            } else {
                expansion.unsearchedFolders += 1;
            }
        }
    };

    for (const auto& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            continue;
        }
        if (info.isDir()) {
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

} // namespace quorvane::InputFiles

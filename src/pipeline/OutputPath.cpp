#include "pipeline/OutputPath.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <sys/stat.h>

namespace quorvane::OutputPath {

namespace {

// The last path component without its last extension: "report.final.pdf" gives "report.final".
// A leading dot starts a hidden name, not an extension.
QString baseName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

// Symbolic links followed through every component that exists; the components that do not
// exist yet (an output about to be written) are kept as they are, after their resolved folder.
QString resolvedPath(const QString& path) {
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    for (int hops = 0; hops < 64; ++hops) {
        const QFileInfo info(existing);
        if (info.exists()) {
            existing = info.canonicalFilePath();
            break;
        }
        if (info.isSymLink()) { // a link to something not there yet: follow it by hand
            existing = QDir::cleanPath(QDir(info.absolutePath()).absoluteFilePath(info.symLinkTarget()));
            continue;
        }
        const QString parent = info.absolutePath();
        if (parent == existing) {
            break; // reached the root
        }
        missing.prepend(info.fileName());
        existing = parent;
    }
    if (missing.isEmpty()) {
        return existing;
    }
    return QDir::cleanPath(existing + QLatin1Char('/') + missing.join(QLatin1Char('/')));
}

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat status {};
    if (::stat(FileNames::encode(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

// The output file name with `dateText` standing for the date.
QString nameWithDate(const QString& sourcePath, const QString& nameTemplate, const QString& dateText) {
    const QString base = baseName(sourcePath);
    QString name = nameTemplate;
    name.replace(QStringLiteral("{name}"), base);
    name.replace(QStringLiteral("{date}"), dateText);
    name = name.trimmed();
    if (name.isEmpty()) {
        name = base + QStringLiteral("_searchable");
    }
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (!name.toLower().endsWith(QStringLiteral(".pdf"))) {
        name += QStringLiteral(".pdf");
    }
    return name;
}

} // namespace

std::optional<QString> templateProblem(const QString& nameTemplate) {
    static const QRegularExpression token(QStringLiteral("\\{[^{}]*\\}"));
    for (const auto& match : token.globalMatch(nameTemplate)) {
        if (!templateTokens.contains(match.captured())) {
            return QStringLiteral("%1 is not a token of the name template; the tokens are {name} (the source's "
                                  "name) and {date} (today's date).")
                .arg(match.captured());
        }
    }
    if (!nameTemplate.trimmed().isEmpty() && !nameTemplate.contains(QStringLiteral("{name}"))) {
        return QStringLiteral("the name template \"%1\" has no {name}, so every source would get the same "
                              "output name.")
            .arg(nameTemplate);
    }
    return std::nullopt;
}

std::optional<QString> templateWarning(const QString& nameTemplate) {
    // "{name}.pdf" names it after the PDF as well; case apart, as the run refuses it.
    const QString sample = QStringLiteral("scan.pdf");
    if (nameWithDate(sample, nameTemplate, QStringLiteral("0000-00-00"))
            .compare(sample, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return QStringLiteral("This name is identical to the original file, so the output would overwrite it. Add "
                          "{date} or a suffix such as _searchable.");
}

QString fileName(const QString& sourcePath, const QString& nameTemplate, const QDateTime& date) {
    return nameWithDate(sourcePath, nameTemplate,
                        QLocale::c().toString(date.toLocalTime(), QStringLiteral("yyyy-MM-dd")));
}

QString nameKey(const QString& name) {
    static const QRegularExpression date(QStringLiteral("[0-9]{4}-[0-9]{2}-[0-9]{2}"));
    return name.toLower().replace(date, QStringLiteral("0000-00-00"));
}

QString outputNameKey(const QString& sourcePath, const QString& nameTemplate) {
    return nameKey(nameWithDate(sourcePath, nameTemplate, QStringLiteral("0000-00-00")));
}

QString textCopyPath(const QString& output) {
    const QFileInfo info(output);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".txt");
}

QString outputURL(const QString& sourcePath, const std::optional<QString>& folder, const QString& nameTemplate) {
    const QString directory = folder ? *folder : QFileInfo(sourcePath).absolutePath();
    return QDir(directory).filePath(fileName(sourcePath, nameTemplate, QDateTime::currentDateTime()));
}

std::optional<QString> mirroredFolder(const QString& sourcePath, const std::optional<QString>& outputFolder,
                                      const QStringList& roots) {
    if (!outputFolder) {
        return std::nullopt;
    }
    const QString folder = QFileInfo(sourcePath).absolutePath();
    for (const auto& root : roots) {
        const QString relative = QDir(root).relativeFilePath(folder);
        if (relative != QLatin1String("..") && !relative.startsWith(QLatin1String("../")) &&
            !QDir::isAbsolutePath(relative)) {
            return QDir::cleanPath(QDir(*outputFolder).filePath(relative));
        }
    }
    return outputFolder;
}

bool isSameFile(const QString& a, const QString& b) {
    const QString pathA = resolvedPath(a), pathB = resolvedPath(b);
    if (pathA == pathB || pathA.compare(pathB, Qt::CaseInsensitive) == 0) {
        return true; // errs towards refusing: another letter case may be the same file
    }
    const auto identityA = identityOf(pathA), identityB = identityOf(pathB);
    return identityA && identityB && *identityA == *identityB;
}

} // namespace quorvane::OutputPath

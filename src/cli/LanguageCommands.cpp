#include "cli/LanguageCommands.h"

#include "core/OCRLanguageCatalog.h"
#include "platform/TesseractEnginePool.h"

namespace quorvane::cli {

namespace {

bool isInstalled(const QString& tag) {
    return TesseractEnginePool::isInstalled(OCRLanguageCatalog::recognizerCode(tag));
}

// Debian ships each Tesseract language as tesseract-ocr-CODE, with "-" for "_" (chi_sim).
QString package(const QString& tag) {
    return QStringLiteral("tesseract-ocr-") + OCRLanguageCatalog::recognizerCode(tag).replace('_', '-');
}

} // namespace

QString languageListing(const QStringList& inUse) {
    QString text;
    QStringList packages;
    for (const auto& language : OCRLanguageCatalog::languages()) {
        const bool installed = isInstalled(language.tag);
        if (!installed) {
            packages << package(language.tag);
        }
        text += QStringLiteral("%1 %2  %3  %4  %5\n")
                    .arg(inUse.contains(language.tag) ? QLatin1Char('*') : QLatin1Char(' '))
                    .arg(language.tag, -8)
                    .arg(OCRLanguageCatalog::recognizerCode(language.tag), -8)
                    .arg(language.name, -22)
                    .arg(installed ? QStringLiteral("installed") : QStringLiteral("not installed"));
    }
    text += QStringLiteral("* in use, in this order: %1\n"
                           "Choose with -l TAGS (Tesseract codes work too) or --set quorvane.settings.languages=TAGS.\n")
                .arg(inUse.join(QStringLiteral(", ")));
    if (!packages.isEmpty()) {
        text += QStringLiteral("To add the missing ones: apt install %1\n(Tesseract reads them from %2.)\n")
                    .arg(packages.join(QLatin1Char(' ')), TesseractEnginePool::dataDirectory());
    }
    return text;
}

std::optional<QString> missingLanguages(const QStringList& tags) {
    QStringList names, packages;
    for (const auto& tag : tags) {
        if (!isInstalled(tag)) {
            names << QStringLiteral("%1 (%2)").arg(OCRLanguageCatalog::language(tag).value_or(OCRLanguageCatalog::Language{tag, tag}).name, tag);
            packages << package(tag);
        }
    }
    if (names.isEmpty()) {
        return std::nullopt;
    }
    return QStringLiteral("%1 cannot be recognised: Tesseract's data for %2 is not installed in %3. Install %4 "
                          "(apt install %5), or choose installed languages with -l; --list-languages lists them.")
        .arg(names.join(QStringLiteral(", ")), names.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"),
             TesseractEnginePool::dataDirectory(),
             packages.size() == 1 ? QStringLiteral("the package ") + packages.first()
                                  : QStringLiteral("the packages ") + packages.join(QStringLiteral(", ")),
             packages.join(QLatin1Char(' ')));
}

} // namespace quorvane::cli

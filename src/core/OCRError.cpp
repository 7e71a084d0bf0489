#include "core/OCRError.h"

namespace quorvane {

OCRError::OCRError(Kind kind, int pageIndex, QString detail)
    : kind_(kind), pageIndex_(pageIndex), detail_(std::move(detail)) {
    what_ = description().toStdString();
}

OCRError OCRError::rasterizationFailed(int pageIndex, const QString& reason) {
    return {Kind::rasterizationFailed, pageIndex, reason};
}
OCRError OCRError::missingPageContent(int pageIndex) { return {Kind::missingPageContent, pageIndex}; }
OCRError OCRError::recognitionFailed(int pageIndex, const QString& underlying) {
    return {Kind::recognitionFailed, pageIndex, underlying};
}
OCRError OCRError::outputWriteFailed(const QString& underlying) {
    return {Kind::outputWriteFailed, 0, underlying};
}
OCRError OCRError::documentTooLarge(const QString& reason) { return {Kind::documentTooLarge, 0, reason}; }
OCRError OCRError::cannotOpenPDF() { return {Kind::cannotOpenPDF}; }
OCRError OCRError::cannotOpenImage() { return {Kind::cannotOpenImage}; }
OCRError OCRError::passwordRequired() { return {Kind::passwordRequired}; }
OCRError OCRError::incorrectPassword() { return {Kind::incorrectPassword}; }
OCRError OCRError::emptyDocument() { return {Kind::emptyDocument}; }
OCRError OCRError::outputOverwritesSource() { return {Kind::outputOverwritesSource}; }
OCRError OCRError::outputOfAnotherSource(const QString& output, const QString& recordedSource, const QString& source) {
    if (recordedSource == source) {
        return {Kind::outputOfAnotherSource, 0,
                QStringLiteral(
                    "\"%1\" is the searchable copy of another file named \"%2\", in another folder, so the "
                    "copy of this one was not written over it. Rename one of the two files, or choose "
                    "another name template or output folder.")
                    .arg(output, source)};
    }
    return {Kind::outputOfAnotherSource, 0,
            QStringLiteral("\"%1\" is the searchable copy of \"%2\", so the copy of \"%3\" was not written over it. "
                           "Rename one of the two files, or choose another name template or output folder.")
                .arg(output, recordedSource, source)};
}
OCRError OCRError::outputNotMadeByQuorvane(const QString& output, const QString& source) {
    return {Kind::outputNotMadeByQuorvane, 0,
            QStringLiteral("\"%1\" is a PDF that Quorvane did not make, so the searchable copy of \"%2\" was not "
                           "written over it. Move or rename it, or choose another name template or output folder.")
                .arg(output, source)};
}
OCRError OCRError::outputOfUnknownOrigin(const QString& output, const QString& source, bool locked) {
    const QString why = locked ? QStringLiteral("is locked with a password this run was not given")
                               : QStringLiteral("does not open as a PDF");
    return {Kind::outputNotMadeByQuorvane, 0,
            QStringLiteral(
                "\"%1\" %2, so it cannot be told from a file of someone's own, and the searchable copy "
                "of \"%3\" was not written over it. Move or rename it, or choose another name template or "
                "output folder.")
                .arg(output, why, source)};
}
OCRError OCRError::cannotReadSource(const QString& reason) { return {Kind::cannotReadSource, 0, reason}; }
OCRError OCRError::damagedPage(int pageIndex, const QString& reason) { return {Kind::damagedPage, pageIndex, reason}; }

QString OCRError::description() const {
    const QString page = QString::number(pageIndex_ + 1);
    switch (kind_) {
    case Kind::rasterizationFailed:
        return detail_.isEmpty() ? QStringLiteral("Rendering page %1 failed.").arg(page)
                                 : QStringLiteral("Rendering page %1 failed: ").arg(page) + detail_;
    case Kind::missingPageContent:
        return QStringLiteral("Page %1 has no drawable content.").arg(page);
    case Kind::recognitionFailed:
        return QStringLiteral("Text recognition failed on page %1: ").arg(page) + detail_;
    case Kind::outputWriteFailed:
        return QStringLiteral("Writing the searchable PDF failed: ") + detail_;
    case Kind::documentTooLarge:
    case Kind::outputOfAnotherSource:
    case Kind::outputNotMadeByQuorvane:
        return detail_;
    case Kind::cannotOpenPDF:
        return QStringLiteral("The PDF could not be opened. The file may be corrupted.");
    case Kind::cannotOpenImage:
        return QStringLiteral(
            "The image could not be opened. The file may be damaged or in an unsupported format.");
    case Kind::passwordRequired:
        return QStringLiteral("This PDF is password-protected. Enter its password to make it searchable.");
    case Kind::incorrectPassword:
        return QStringLiteral("That password didn't unlock the PDF. Check it and try again.");
    case Kind::emptyDocument:
        return QStringLiteral("The PDF contains no pages.");
    case Kind::outputOverwritesSource:
        return QString::fromUtf8(
            "This output name would overwrite the original PDF, so nothing was written. Change the "
            "output file name template in Settings \u2014 add {date} or a suffix such as _searchable.");
    case Kind::cannotReadSource:
        return QStringLiteral("The file could not be read: ") + detail_;
    case Kind::damagedPage:
        return QStringLiteral("Page %1 is damaged: ").arg(page) + detail_;
    }
    return {};
}

QString OCRError::kindName(Kind kind) {
    switch (kind) {
    case Kind::rasterizationFailed: return QStringLiteral("rasterizationFailed");
    case Kind::missingPageContent: return QStringLiteral("missingPageContent");
    case Kind::recognitionFailed: return QStringLiteral("recognitionFailed");
    case Kind::outputWriteFailed: return QStringLiteral("outputWriteFailed");
    case Kind::documentTooLarge: return QStringLiteral("documentTooLarge");
    case Kind::cannotOpenPDF: return QStringLiteral("cannotOpenPDF");
    case Kind::cannotOpenImage: return QStringLiteral("cannotOpenImage");
    case Kind::passwordRequired: return QStringLiteral("passwordRequired");
    case Kind::incorrectPassword: return QStringLiteral("incorrectPassword");
    case Kind::emptyDocument: return QStringLiteral("emptyDocument");
    case Kind::outputOverwritesSource: return QStringLiteral("outputOverwritesSource");
    case Kind::outputOfAnotherSource: return QStringLiteral("outputOfAnotherSource");
    case Kind::outputNotMadeByQuorvane: return QStringLiteral("outputNotMadeByQuorvane");
    case Kind::cannotReadSource: return QStringLiteral("cannotReadSource");
    case Kind::damagedPage: return QStringLiteral("damagedPage");
    }
    return {};
}

std::optional<OCRError::Kind> errorKind(const std::exception& error) {
    if (const auto* ocr = dynamic_cast<const OCRError*>(&error)) {
        return ocr->kind();
    }
    return std::nullopt;
}

QString errorText(const std::exception& error) {
    if (const auto* ocr = dynamic_cast<const OCRError*>(&error)) {
        return ocr->description();
    }
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error)) {
        return platform->message();
    }
    return QString::fromUtf8(error.what());
}

} // namespace quorvane

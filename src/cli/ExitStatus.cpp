#include "cli/ExitStatus.h"

namespace quorvane::cli::ExitStatus {

int forFailure(std::optional<OCRError::Kind> kind) {
    if (!kind) {
        return documentFailed;
    }
    switch (*kind) {
    case OCRError::Kind::rasterizationFailed:
    case OCRError::Kind::missingPageContent:
    case OCRError::Kind::documentTooLarge:
    case OCRError::Kind::cannotOpenPDF:
    case OCRError::Kind::cannotOpenImage:
    case OCRError::Kind::emptyDocument:
    case OCRError::Kind::cannotReadSource:
    case OCRError::Kind::damagedPage: return unreadableInput;
    case OCRError::Kind::passwordRequired: return passwordRequired;
    case OCRError::Kind::incorrectPassword: return incorrectPassword;
    case OCRError::Kind::outputWriteFailed:
    case OCRError::Kind::outputOverwritesSource:
    case OCRError::Kind::outputOfAnotherSource:
    case OCRError::Kind::outputNotMadeByQuorvane: return outputNotWritten;
    case OCRError::Kind::recognitionFailed: return documentFailed;
    }
    return documentFailed;
}

QString helpText() {
    return QStringLiteral("Exit status:\n"
                          "  0    every document is done, skipped as up to date, or already searchable\n"
                          "  1    a document failed: any failure in a batch; alone, one not listed below\n"
                          "  2    the command line is wrong\n"
                          "  3    the input is damaged, unreadable, empty, or over the size limits\n"
                          "  4    the PDF is locked and no password was given (see --password)\n"
                          "  5    the password given does not unlock the PDF\n"
                          "  6    the searchable PDF cannot be written there\n"
                          "  130  cancelled (Ctrl-C, SIGTERM, or the terminal or output pipe closed)");
}

} // namespace quorvane::cli::ExitStatus

#pragma once

// The one error type of a document run, with the fixed text the user sees for each case.

#include <QString>
#include <exception>
#include <optional>
#include <string>

namespace quorvane {

class OCRError : public std::exception {
public:
    enum class Kind {
        rasterizationFailed,
        missingPageContent,
        recognitionFailed,
        outputWriteFailed,
        documentTooLarge,
        cannotOpenPDF,
        cannotOpenImage,
        passwordRequired,
        incorrectPassword,
        emptyDocument,
        outputOverwritesSource,
        outputOfAnotherSource,
        outputNotMadeByQuorvane,
        cannotReadSource,
        damagedPage,
    };

    // With a reason when it is known ("Rendering page 3 failed: it took longer than 60 seconds to
    // draw, so it was stopped.").
    static OCRError rasterizationFailed(int pageIndex, const QString& reason = {});
    static OCRError missingPageContent(int pageIndex);
    static OCRError recognitionFailed(int pageIndex, const QString& underlying);
    static OCRError outputWriteFailed(const QString& underlying);
    static OCRError documentTooLarge(const QString& reason);
    static OCRError cannotOpenPDF();
    static OCRError cannotOpenImage();
    static OCRError passwordRequired();
    static OCRError incorrectPassword();
    static OCRError emptyDocument();
    static OCRError outputOverwritesSource();
    // The output file exists and records another source file (names without folders).
    static OCRError outputOfAnotherSource(const QString& output, const QString& recordedSource, const QString& source);
    // The output file exists and is a PDF that Quorvane did not make.
    static OCRError outputNotMadeByQuorvane(const QString& output, const QString& source);
    // The output file exists and cannot be told from one Quorvane did not make: it does not open
    // as a PDF, or is locked with a password the run does not have. Of the same kind.
    static OCRError outputOfUnknownOrigin(const QString& output, const QString& source, bool locked);

    // The case's name as written in code, e.g. "passwordRequired": how reports name the kind.
    static QString kindName(Kind kind);
    // The source exists but cannot be read as a file: not allowed, not a regular file, a disk error.
    static OCRError cannotReadSource(const QString& reason);
    // A page whose dictionary or boxes cannot be used, found before any work is spent on it.
    static OCRError damagedPage(int pageIndex, const QString& reason);

    Kind kind() const { return kind_; }
    int pageIndex() const { return pageIndex_; }
    // The underlying text of recognitionFailed and outputWriteFailed, the reason of documentTooLarge,
    // cannotReadSource, damagedPage and (when given) rasterizationFailed.
    const QString& detail() const { return detail_; }

    // The text shown wherever the error reaches the user.
    QString description() const;
    const char* what() const noexcept override { return what_.c_str(); }

    bool operator==(const OCRError& other) const {
        return kind_ == other.kind_ && pageIndex_ == other.pageIndex_ && detail_ == other.detail_;
    }

private:
    OCRError(Kind kind, int pageIndex = 0, QString detail = {});

    Kind kind_;
    int pageIndex_;
    QString detail_;
    std::string what_;
};

// An error from the file system or another library, passed on with its own readable text.
class PlatformError : public std::exception {
public:
    explicit PlatformError(const QString& message) : message_(message), what_(message.toStdString()) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    QString message_;
    std::string what_;
};

// The readable text of any error that ends a run.
QString errorText(const std::exception& error);
// The kind of an OCRError; nothing for any other error.
std::optional<OCRError::Kind> errorKind(const std::exception& error);

} // namespace quorvane

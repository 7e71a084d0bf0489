#pragma once

// An open PDF: QPDF for the object model (structure, pages, outline, information) and Poppler
// for rendering and page text, both reading the same unlocked bytes.

#include "core/Geometry.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <sys/stat.h>
#include <vector>

namespace poppler {
class document;
class page;
} // namespace poppler

namespace quorvane {

class PdfDocument;
class RenderProcess;

// The file that a searchable copy was made from, as the copy records it in its document
// information: what tells its own source apart from another file of the same base name, and from
// a later version of itself.
struct SourceRecord {
    QString name;       // the file name, without its folder
    qint64 size = 0;    // bytes
    QDateTime modified; // to the millisecond
    // The folder, twice: the SHA-256 of its path (a folder made again in its place is the same),
    // and its device and inode (which stay with it when it is renamed or moved on its disk). Empty
    // in copies made before they were recorded.
    QString folder;
    QString folderNode;
    bool operator==(const SourceRecord&) const = default;

    // The file at `path` as it is now; none when it cannot be read.
    static std::optional<SourceRecord> of(const QString& path);

    // Whether this record was made of `file` (a record of a file as it is now) as it is now: the
    // same name, size and time, wherever it lies.
    bool isUnchanged(const SourceRecord& file) const;
    // Whether this record was made of `file`, perhaps before it changed: the same name in the same
    // folder, or the same file in another. A record without a folder goes by the name.
    bool isOf(const SourceRecord& file) const;
};

// Title, author, subject and keywords of a document, the program that made it (never carried
// over), and the record of its source when it is a searchable copy; absent when it has none.
struct DocumentAttributes {
    std::optional<QString> title;
    std::optional<QString> author;
    std::optional<QString> subject;
    std::optional<QStringList> keywords;
    std::optional<QString> creator;
    std::optional<SourceRecord> source;
    // Of a searchable copy: the SHA-256 of the text copy written beside it, or noTextCopy.
    std::optional<QString> textCopy;
    // Of a searchable copy: the SHA-256 of the text copy of an earlier output that was beside it
    // when it was written, which stays ours to replace when this copy wrote none.
    std::optional<QString> formerTextCopy;
    bool operator==(const DocumentAttributes&) const = default;
};

// The document-information keys of the source record.
inline constexpr const char* sourceNameKey = "/QuorvaneSource";
inline constexpr const char* sourceSizeKey = "/QuorvaneSourceSize";
inline constexpr const char* sourceModifiedKey = "/QuorvaneSourceModified";
inline constexpr const char* sourceFolderKey = "/QuorvaneSourceFolder";
inline constexpr const char* sourceFolderNodeKey = "/QuorvaneSourceFolderNode";
inline constexpr const char* textCopyKey = "/QuorvaneTextCopy";
inline constexpr const char* noTextCopy = "none";
inline constexpr const char* formerTextCopyKey = "/QuorvaneFormerTextCopy";

// One page of an open document. Cheap to copy; valid while its document is alive.
class PdfPage {
public:
    PdfPage(const PdfDocument* document, int index, QPDFPageObjectHelper object);

    const PdfDocument& document() const { return *document_; }
    int index() const { return index_; }

    // The low-level page dictionary: resources, content, boxes.
    QPDFPageObjectHelper pageObject() const { return object_; }

    // The crop box in the page's unrotated user space, limited to the media box as readers do;
    // the media box when the crop box is missing, empty or beside it. A page without a media box
    // is US Letter.
    Rect cropBox() const;
    Rect mediaBox() const;
    // Clockwise degrees as the page states them, normalised to 0..359.
    int rotation() const;
    // The page's extractable text, empty when it has none.
    QString text() const;

    // Poppler's view of the page, for rendering; null when Poppler cannot give it.
    std::unique_ptr<poppler::page> popplerPage() const;

private:
    const PdfDocument* document_;
    int index_;
    QPDFPageObjectHelper object_;
};

class PdfDocument {
public:
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // Nothing when the file cannot be read as a PDF. A document that the empty password does not
    // open comes back locked; one that only restricts permissions opens unlocked.
    static std::unique_ptr<PdfDocument> open(const QString& path);

    QString path() const { return path_; }
    bool isLocked() const { return locked_; }
    // True when the document is (now) unlocked. An unlocked document stays as it is.
    bool unlock(const QString& password);

    int pageCount() const;
    std::optional<PdfPage> page(int index) const;

    DocumentAttributes attributes() const;
    // Those of the PDF at `path`, read from its information alone, without repairing a damaged file:
    // cheap enough for every file of a folder. Nothing when it is not a PDF, is damaged or is locked;
    // `locked` tells the last apart.
    static std::optional<DocumentAttributes> attributesOf(const QString& path, bool* locked = nullptr);

    // The unlocked object model. Not available while locked.
    QPDF& qpdf() const { return *qpdf_; }
    // The file as opened with its password, for giving a copy the same encryption (passwords,
    // permissions, method); null when the file is not encrypted or still locked.
    QPDF* encryption() const { return encrypted_.get(); }
    // Whether the file needed a password to open: false for one without encryption and for one
    // that restricts permissions only.
    bool neededPassword() const { return neededPassword_; }
    // Whether a form field holds a digital signature, which covers this file's bytes and no copy's.
    bool isSigned() const;
    // Whether the file was written to since it was opened (the scanner or another program still
    // at work on it): its pages are read as they are needed, so what was read may not fit together.
    bool changedSinceOpened() const;
    poppler::document* popplerDocument() const { return poppler_.get(); }
    // Draws this document's pages in a process of its own, started on first use. Not available
    // while locked.
    RenderProcess& renderProcess() const;

private:
    explicit PdfDocument(QString path);
    bool load(const std::string& password);
    int copyWithoutFormFields() const;

    QString path_;
    bool locked_ = true;
    std::string decrypted_; // the decrypted bytes both libraries read, for encrypted sources
    int bytes_ = -1;        // the bytes the page renderer reads: the file, or the decrypted copy
    struct stat opened_ {}; // bytes_ as it was when opened
    bool hasFormFields_ = false; // whether a page shows form fields, which the renderer must not draw
    mutable std::once_flag rendererStarted_;
    mutable std::unique_ptr<RenderProcess> renderer_;
    std::unique_ptr<QPDF> qpdf_;
    std::unique_ptr<QPDF> encrypted_;
    bool neededPassword_ = false;
    std::unique_ptr<poppler::document> poppler_;
    std::vector<QPDFPageObjectHelper> pages_;
};

} // namespace quorvane

#include "platform/PdfDocument.h"

#include "platform/DebugLog.h"
#include "platform/FileNames.h"
#include "platform/PdfContent.h"
#include "platform/PrivateTemporaryFolder.h"
#include "platform/RenderProcess.h"
#include "platform/XmpInformation.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvane {

namespace {

QString fromPoppler(const poppler::ustring& text) {
    const auto utf8 = text.to_utf8();
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Rect rectFrom(QPDFObjectHandle box) {
    if (!box.isRectangle()) {
        return {};
    }
    const auto r = box.getArrayAsRectangle();
    const double x0 = std::min(r.llx, r.urx), x1 = std::max(r.llx, r.urx);
    const double y0 = std::min(r.lly, r.ury), y1 = std::max(r.lly, r.ury);
    return {x0, y0, x1 - x0, y1 - y0};
}

std::optional<QString> infoString(QPDFObjectHandle info, const char* key) {
    if (!info.isDictionary() || !info.hasKey(key)) {
        return std::nullopt;
    }
    auto value = info.getKey(key);
    if (!value.isString()) {
        return std::nullopt;
    }
    return QString::fromStdString(value.getUTF8Value());
}

bool isWidget(QPDFObjectHandle annotation) {
    return annotation.isDictionary() && annotation.getKey("/Subtype").isNameAndEquals("/Widget");
}

// A file that exists only in memory, holding `bytes`, for the page renderer; -1 when it cannot be made.
int copyInMemory(const std::string& bytes) {
    const int descriptor = ::memfd_create("quorvane-decrypted", MFD_CLOEXEC);
    if (descriptor < 0) {
        return -1;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (put <= 0) {
            ::close(descriptor);
            return -1;
        }
        written += static_cast<size_t>(put);
    }
    return descriptor;
}

} // namespace

std::optional<SourceRecord> SourceRecord::of(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) {
        return std::nullopt;
    }
    const QString folderPath = file.canonicalPath().isEmpty() ? file.absolutePath() : file.canonicalPath();
    const auto folder = FileNames::status(folderPath);
    return SourceRecord{
        file.fileName(), file.size(), file.lastModified().toUTC(),
        QString::fromLatin1(
            QCryptographicHash::hash(FileNames::encode(folderPath), QCryptographicHash::Sha256).toHex()),
        folder ? QStringLiteral("%1:%2").arg(folder->st_dev).arg(folder->st_ino) : QString()};
}

bool SourceRecord::isUnchanged(const SourceRecord& file) const {
    return name == file.name && size == file.size && modified == file.modified;
}

bool SourceRecord::isOf(const SourceRecord& file) const {
    return name == file.name && (folder.isEmpty() || folder == file.folder ||
                                 (!folderNode.isEmpty() && folderNode == file.folderNode) ||
                                 (size == file.size && modified == file.modified));
}

PdfPage::PdfPage(const PdfDocument* document, int index, QPDFPageObjectHelper object)
    : document_(document), index_(index), object_(std::move(object)) {}

// A page without a media box is shown as US Letter, as Poppler renders it.
Rect PdfPage::mediaBox() const {
    try {
        auto object = object_;
        auto media = object.getMediaBox();
        if (media.isRectangle()) {
            return rectFrom(media);
        }
    } catch (const std::exception&) {
    }
    return {0, 0, 612, 792};
}

Rect PdfPage::cropBox() const {
    const Rect media = mediaBox();
    Rect crop;
    try {
        auto object = object_;
        crop = rectFrom(object.getCropBox());
    } catch (const std::exception&) {
    }
    if (crop.isEmpty()) {
        return media;
    }
    const double x0 = std::max(crop.minX(), media.minX()), x1 = std::min(crop.maxX(), media.maxX());
    const double y0 = std::max(crop.minY(), media.minY()), y1 = std::min(crop.maxY(), media.maxY());
    if (x1 <= x0 || y1 <= y0) {
        return media; // a crop box beside the media box shows the media box, as pdf.js does
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

int PdfPage::rotation() const {
    try {
        auto object = object_;
        auto rotate = object.getAttribute("/Rotate", false);
        if (!rotate.isNumber()) {
            return 0;
        }
        const double value = rotate.getNumericValue();
        if (!std::isfinite(value) || std::abs(value) > 1e9) {
            return 0;
        }
        const long long degrees = std::llround(value);
        return static_cast<int>(((degrees % 360) + 360) % 360);
    } catch (const std::exception&) {
        return 0;
    }
}

std::unique_ptr<poppler::page> PdfPage::popplerPage() const {
    auto* doc = document_->popplerDocument();
    if (doc == nullptr || index_ >= doc->pages()) {
        return nullptr;
    }
    return std::unique_ptr<poppler::page>(doc->create_page(index_));
}

QString PdfPage::text() const {
    auto popplerView = popplerPage();
    if (!popplerView) {
        return {};
    }
    QString text = fromPoppler(popplerView->text());
    // Poppler's text includes what annotations draw: a comment, a stamp, a filled-in field on a
    // scan is no text of the page's own, and must not keep the page from being recognised.
    QPDFPageObjectHelper page = object_;
    QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
    if (!text.trimmed().isEmpty() && annotations.isArray() && annotations.getArrayNItems() > 0 &&
        !PdfContent::showsText(page)) {
        return {};
    }
    return text;
}

PdfDocument::PdfDocument(QString path) : path_(std::move(path)) {}

PdfDocument::~PdfDocument() {
    renderer_.reset();
    if (bytes_ >= 0) {
        ::close(bytes_);
    }
}

RenderProcess& PdfDocument::renderProcess() const {
    std::call_once(rendererStarted_, [this] {
        const int withoutFields = hasFormFields_ ? copyWithoutFormFields() : -1;
        renderer_ = std::make_unique<RenderProcess>(withoutFields >= 0 ? withoutFields : bytes_);
        if (withoutFields >= 0) {
            ::close(withoutFields);
        }
    });
    return *renderer_;
}

// A form field's value is the field's, not the page's: recognised, it would stay in the text layer
// after the value is changed. The renderer reads this copy of the document without form fields,
// in an unnamed temporary file that disappears with its last descriptor; -1 when it cannot be
// made, and the pages are then drawn with their fields. Other annotations are drawn as readers
// show them: a box or a stamp over a scan may hide what is under it, and must go on hiding it.
int PdfDocument::copyWithoutFormFields() const {
    int file = -1;
    try {
        file = ::open(FileNames::encode(PrivateTemporaryFolder::path()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                      S_IRUSR | S_IWUSR);
        if (file < 0) {
            throw std::runtime_error(std::strerror(errno));
        }
        // Named here: QPDFWriter keeps the pointer to the output's name while it writes.
        const std::string source = "/proc/self/fd/" + std::to_string(bytes_);
        const std::string target = "/proc/self/fd/" + std::to_string(file);
        QPDF copy;
        copy.setSuppressWarnings(true);
        copy.processFile(source.c_str());
        for (auto& page : QPDFPageDocumentHelper(copy).getAllPages()) {
            auto annotations = page.getObjectHandle().getKey("/Annots");
            if (annotations.isArray()) {
                auto others = QPDFObjectHandle::newArray();
                for (auto& annotation : annotations.aitems()) {
                    if (!isWidget(annotation)) {
                        others.appendItem(annotation);
                    }
                }
                page.getObjectHandle().replaceKey("/Annots", others);
            }
        }
        copy.getRoot().removeKey("/AcroForm"); // else a reader may draw the fields' values itself
        QPDFWriter writer(copy);
        writer.setOutputFilename(target.c_str());
        writer.setDecodeLevel(qpdf_dl_none); // streams are carried as they are, not decoded
        writer.setCompressStreams(false);
        writer.write();
        return file;
    } catch (const std::exception& error) {
        DebugLog::write("qpdf", std::string("pages are drawn with their form fields: ") + error.what());
        if (file >= 0) {
            ::close(file);
        }
        return -1;
    }
}

std::unique_ptr<PdfDocument> PdfDocument::open(const QString& path) {
    DebugLog::captureLibraryMessages();
    // A named pipe would block the open and a device would be read for ever.
    const auto status = FileNames::status(path);
    if (!status || !S_ISREG(status->st_mode)) {
        return nullptr;
    }
    std::unique_ptr<PdfDocument> document(new PdfDocument(path));
    try {
        document->load("");
        return document;
    } catch (const QPDFExc& error) {
        if (error.getErrorCode() == qpdf_e_password) {
            return document; // stays locked
        }
    } catch (const std::exception&) {
    }
    return nullptr;
}

bool PdfDocument::unlock(const QString& password) {
    if (!locked_) {
        return true;
    }
    neededPassword_ = true;
    try {
        return load(password.toStdString());
    } catch (const std::exception&) {
        return false;
    }
}

// Opens both libraries on the file, decrypting it first when it is encrypted. Throws QPDF's
// error when the password does not open it; returns false when Poppler cannot read it.
bool PdfDocument::load(const std::string& password) {
    auto qpdf = std::make_unique<QPDF>();
    qpdf->setSuppressWarnings(true);
    const QByteArray localPath = FileNames::encode(path_);
    qpdf->processFile(localPath.constData(), password.c_str());

    std::unique_ptr<poppler::document> poppler;
    std::unique_ptr<QPDF> encrypted;
    int bytes = -1;
    if (qpdf->isEncrypted()) {
        QPDFWriter writer(*qpdf);
        writer.setOutputMemory();
        writer.setPreserveEncryption(false);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        decrypted_.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        encrypted = std::move(qpdf);
        qpdf = std::make_unique<QPDF>();
        qpdf->setSuppressWarnings(true);
        qpdf->processMemoryFile(localPath.constData(), decrypted_.data(), decrypted_.size());
        poppler.reset(poppler::document::load_from_raw_data(decrypted_.data(),
                                                             static_cast<int>(decrypted_.size())));
        bytes = copyInMemory(decrypted_);
    } else {
        poppler.reset(poppler::document::load_from_file(localPath.toStdString()));
        bytes = ::open(localPath.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (!poppler || poppler->is_locked() || bytes < 0) {
        if (bytes >= 0) {
            ::close(bytes);
        }
        throw std::runtime_error("Poppler cannot read the document");
    }
    if (bytes_ >= 0) {
        ::close(bytes_);
    }
    bytes_ = bytes;
    ::fstat(bytes_, &opened_);

    pages_ = QPDFPageDocumentHelper(*qpdf).getAllPages();
    hasFormFields_ = std::ranges::any_of(pages_, [](QPDFPageObjectHelper& page) {
        return !page.getAnnotations("/Widget").empty();
    });
    qpdf_ = std::move(qpdf);
    encrypted_ = std::move(encrypted);
    poppler_ = std::move(poppler);
    locked_ = false;
    return true;
}

bool PdfDocument::changedSinceOpened() const {
    struct stat now {};
    if (bytes_ < 0 || ::fstat(bytes_, &now) != 0) {
        return false;
    }
    return now.st_size != opened_.st_size || now.st_mtim.tv_sec != opened_.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != opened_.st_mtim.tv_nsec;
}

int PdfDocument::pageCount() const { return locked_ ? 0 : static_cast<int>(pages_.size()); }

std::optional<PdfPage> PdfDocument::page(int index) const {
    if (locked_ || index < 0 || index >= pageCount()) {
        return std::nullopt;
    }
    return PdfPage(this, index, pages_[static_cast<size_t>(index)]);
}

bool PdfDocument::isSigned() const {
    if (locked_) {
        return false;
    }
    try {
        for (auto& field : QPDFAcroFormDocumentHelper(*qpdf_).getFormFields()) {
            if (field.getFieldType() == "/Sig" && field.getValue().isDictionary()) {
                return true;
            }
        }
    } catch (const std::exception&) {
        // A form that cannot be read is reported by the writer, which copies its fields.
    }
    return false;
}

namespace {

DocumentAttributes attributesIn(QPDF& qpdf) {
    DocumentAttributes attributes;
    try {
        auto info = qpdf.getTrailer().getKey("/Info");
        attributes.title = infoString(info, "/Title");
        attributes.author = infoString(info, "/Author");
        attributes.subject = infoString(info, "/Subject");
        if (auto keywords = infoString(info, "/Keywords")) {
            attributes.keywords = QStringList{*keywords};
        }
        attributes.creator = infoString(info, "/Creator");
        const auto name = infoString(info, sourceNameKey);
        const auto size = infoString(info, sourceSizeKey);
        const auto modified = infoString(info, sourceModifiedKey);
        if (name && size && modified) {
            attributes.source =
                SourceRecord{*name, size->toLongLong(), QDateTime::fromString(*modified, Qt::ISODateWithMs),
                             infoString(info, sourceFolderKey).value_or(QString()),
                             infoString(info, sourceFolderNodeKey).value_or(QString())};
        }
        attributes.textCopy = infoString(info, textCopyKey);
        attributes.formerTextCopy = infoString(info, formerTextCopyKey);
    } catch (const std::exception&) {
        return {}; // a damaged information dictionary counts as none
    }
    return attributes;
}

} // namespace

DocumentAttributes PdfDocument::attributes() const {
    if (locked_) {
        return {};
    }
    DocumentAttributes attributes = attributesIn(*qpdf_);
    if (!attributes.title || !attributes.author || !attributes.subject || !attributes.keywords) {
        const XmpInformation::Fields xmp = XmpInformation::of(*qpdf_);
        attributes.title = attributes.title ? attributes.title : xmp.title;
        attributes.author = attributes.author ? attributes.author : xmp.author;
        attributes.subject = attributes.subject ? attributes.subject : xmp.subject;
        attributes.keywords = attributes.keywords ? attributes.keywords : xmp.keywords;
    }
    return attributes;
}

std::optional<DocumentAttributes> PdfDocument::attributesOf(const QString& path, bool* locked) {
    DebugLog::captureLibraryMessages();
    if (locked != nullptr) {
        *locked = false;
    }
    const auto status = FileNames::status(path); // a named pipe would block the open
    if (!status || !S_ISREG(status->st_mode)) {
        return std::nullopt;
    }
    try {
        QPDF qpdf;
        qpdf.setSuppressWarnings(true);
        qpdf.setAttemptRecovery(false); // a repair reads the whole file, which may be large
        qpdf.processFile(FileNames::encode(path).constData());
        return attributesIn(qpdf);
    } catch (const QPDFExc& error) {
        if (locked != nullptr) {
            *locked = error.getErrorCode() == qpdf_e_password;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace quorvane

#include "FuzzTargets.h"

#include "core/OCRError.h"
#include "pipeline/CoordinateMapper.h"
#include "pipeline/DPIAnalyzer.h"
#include "pipeline/DocumentCatalog.h"
#include "pipeline/DocumentOutline.h"
#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/PDFAuxBuilder.h"
#include "pipeline/PageCheck.h"
#include "pipeline/PageColour.h"
#include "pipeline/TextLayerWriter.h"
#include "platform/PdfDocument.h"
#include "settings/OCRPreset.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvane::fuzz {

namespace {

// Pages looked at per input: enough for every code path, few enough to keep each run quick.
constexpr int pagesWalked = 8;

// The bytes as a file that exists only in memory, closed when it goes.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : descriptor_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        for (std::size_t written = 0; descriptor_ >= 0 && written < size;) {
            const ssize_t put = ::write(descriptor_, data + written, size - written);
            if (put <= 0) {
                break;
            }
            written += static_cast<std::size_t>(put);
        }
    }
    ~MemoryFile() { ::close(descriptor_); }
    QString path() const { return QStringLiteral("/proc/self/fd/%1").arg(descriptor_); }

private:
    int descriptor_;
};

std::unique_ptr<PdfDocument> openUnlocked(const MemoryFile& file) {
    auto document = PdfDocument::open(file.path());
    if (!document || !document->unlock(QString())) {
        return nullptr;
    }
    return document;
}

} // namespace

void pdfPages(const std::uint8_t* data, std::size_t size) {
    const MemoryFile file(data, size);
    const auto document = openUnlocked(file);
    if (!document) {
        return;
    }
    for (int index = 0; index < std::min(document->pageCount(), pagesWalked); ++index) {
        const auto page = document->page(index);
        if (!page) {
            continue;
        }
        try {
            PageCheck::checkUsable(*page);
        } catch (const std::exception&) {
            continue; // refused, as the pipeline would
        }
        CoordinateMapper::displayBounds(*page);
        CoordinateMapper::drawTransform(*page, index % 4, 0.01 * index);
        page->rotation();
        page->text();
        DPIAnalyzer::effectiveDPI(*page);
        PageColour::drawsOnlyGrey(*page);
    }
    document->attributes();
}

void outlineAndInfo(const std::uint8_t* data, std::size_t size) {
    const MemoryFile file(data, size);
    const auto document = openUnlocked(file);
    if (!document) {
        return;
    }
    try {
        QPDF output;
        output.emptyPDF();
        output.setSuppressWarnings(true);
        QPDFPageDocumentHelper pages(output);
        for (int index = 0; index < std::min(document->pageCount(), pagesWalked); ++index) {
            if (const auto page = document->page(index)) {
                pages.addPage(page->pageObject(), false);
            }
        }
        DocumentOutline::copyOutline(*document, output);
        DocumentCatalog::carryOver(*document, output);
        PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo(document->attributes(), true), output);
        QPDFWriter writer(output);
        writer.setOutputMemory();
        writer.write();
    } catch (const std::exception&) {
        // A page QPDF cannot copy or write is the writer's to report; here only crashes count.
    }

    // And the writer itself, which also carries the pages' links, notes and form fields.
    std::vector<TextLayerWriter::PageInput> inputs;
    for (int index = 0; index < std::min(document->pageCount(), pagesWalked); ++index) {
        if (const auto page = document->page(index)) {
            inputs.push_back(
                {.page = *page, .outputBounds = CoordinateMapper::displayBounds(*page), .pageIndex = index});
        }
    }
    static const QString output =
        QDir::temp().filePath(QStringLiteral("quorvane-fuzz-%1.pdf").arg(::getpid()));
    try {
        TextLayerWriter::write(inputs, document->attributes(), output, true, document.get());
    } catch (const OCRError&) {
        // A document the writer refuses is reported to the user; here only crashes count.
    }
    QFile::remove(output);
}

void imageDecoding(const std::uint8_t* data, std::size_t size) {
    // The extension only lets the file in; the decoder is chosen by the bytes.
    static const QString input = QDir::temp().filePath(QStringLiteral("quorvane-fuzz-%1.png").arg(::getpid()));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return;
    }
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    try {
        QFile::remove(ImagePDFBuilder::makePDF(input));
    } catch (const std::exception&) {
    }
    QFile::remove(input);
}

void presets(const std::uint8_t* data, std::size_t size) {
    const auto decoded =
        decodePresets(QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (decoded) {
        encodePresets(*decoded);
    }
}

} // namespace quorvane::fuzz

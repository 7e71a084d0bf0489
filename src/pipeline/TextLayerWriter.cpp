#include "pipeline/TextLayerWriter.h"

#include "pipeline/DocumentCatalog.h"
#include "pipeline/DocumentOutline.h"
#include "pipeline/DocumentStructure.h"
#include "pipeline/JoinedContents.h"
#include "pipeline/PDFAuxBuilder.h"

#include "core/OCRError.h"
#include "pipeline/CoordinateMapper.h"
#include "pipeline/OutputPath.h"
#include "pipeline/PageAnnotations.h"
#include "pipeline/StagedOutputFile.h"
#include "pipeline/TextLayerFonts.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"

#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <unistd.h>

namespace quorvane::TextLayerWriter {

namespace {

using Object = QPDFObjectHandle;

// Text layer constants: font size and baseline as fractions of the line box's height.
constexpr double fontSizeFactor = 0.82;
constexpr double smallestFontSize = 1.0;
constexpr double baselineFactor = 0.18;
// Boxes no wider or taller than this are not written.
constexpr double smallestBoxSide = 0.5;

// What the probe says when the folder takes files: nothing wrong that it can see.
const QString contextFailure = QStringLiteral("could not create PDF context");

// A number as a PDF content stream writes it: fixed point, no exponent, no trailing zeros.
std::string num(double value) {
    std::string text = QByteArray::number(value, 'f', 6).toStdString();
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string hexString(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "<";
    for (const unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex + ">";
}

Object rectangle(const Rect& r) {
    return Object::newFromRectangle({r.minX(), r.minY(), r.maxX(), r.maxY()});
}

// A corrected page's compressed bytes, handed to the output file while it is written.
class EncodedData : public Object::StreamDataProvider {
public:
    explicit EncodedData(QByteArray bytes) : bytes_(std::move(bytes)) {}

    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override {
        pipeline->write(reinterpret_cast<const unsigned char*>(bytes_.constData()),
                        std::size_t(bytes_.size()));
        pipeline->finish();
    }

private:
    QByteArray bytes_;
};

Object imageXObject(QPDF& output, const EncodedRaster& raster) {
    Object image = output.newStream();
    Object dict = image.getDict();
    dict.replaceKey("/Type", Object::newName("/XObject"));
    dict.replaceKey("/Subtype", Object::newName("/Image"));
    dict.replaceKey("/Width", Object::newInteger(raster.width));
    dict.replaceKey("/Height", Object::newInteger(raster.height));
    dict.replaceKey("/ColorSpace", Object::newName(raster.colour ? "/DeviceRGB" : "/DeviceGray"));
    dict.replaceKey("/BitsPerComponent", Object::newInteger(raster.bitsPerComponent));
    const char* filter = raster.filter == EncodedRaster::Filter::dct ? "/DCTDecode" : "/FlateDecode";
    image.replaceStreamData(std::make_shared<EncodedData>(raster.data), Object::newName(filter),
                            Object::newNull());
    return image;
}

// The source page's content as a form XObject of the output, its content stream and resources
// carried over as they are: a stream stays encoded, so a megabyte that inflates to gigabytes costs
// a megabyte here. Clipped to the crop box: what a reader shows of the page, no more.
Object sourcePageForm(QPDF& output, const PageInput& input,
                      const std::shared_ptr<std::set<int>>& damagedPages) {
    try {
        QPDFPageObjectHelper page = input.page.pageObject();
        Object pageDict = page.getObjectHandle();
        if (!pageDict.isDictionary()) {
            throw OCRError::missingPageContent(input.pageIndex);
        }
        // Made in the source document, where the page's resources live, then copied over whole.
        Object contents = pageDict.getKey("/Contents");
        Object form = contents.isStream() ? contents.copyStream() : input.page.document().qpdf().newStream(std::string());
        if (contents.isArray()) {
            form.replaceStreamData(std::make_shared<JoinedContents>(contents, input.pageIndex, damagedPages),
                                   Object::newNull(), Object::newNull());
        }
        Object dict = form.getDict();
        dict.removeKey("/Length");
        dict.replaceKey("/Type", Object::newName("/XObject"));
        dict.replaceKey("/Subtype", Object::newName("/Form"));
        dict.replaceKey("/BBox", rectangle(input.page.cropBox()));
        // Rotation and crop are in our own matrix, so the form itself is left untransformed.
        dict.removeKey("/Matrix");
        Object resources = page.getAttribute("/Resources", false);
        dict.replaceKey("/Resources", resources.isDictionary() ? resources : Object::newDictionary());
        if (pageDict.getKey("/Group").isDictionary()) {
            dict.replaceKey("/Group", pageDict.getKey("/Group"));
        }
        return output.copyForeignObject(form);
    } catch (const OCRError&) {
        throw;
    } catch (const std::exception&) {
        throw OCRError::missingPageContent(input.pageIndex);
    }
}

std::string matrix(const AffineTransform& t) {
    return num(t.m11()) + " " + num(t.m12()) + " " + num(t.m21()) + " " + num(t.m22()) + " " + num(t.dx()) +
           " " + num(t.dy()) + " cm";
}

// The stretches of a line set apart by wide gaps, each with its box; the whole line when none is.
std::vector<std::pair<QString, Rect>> spansOf(const OCRLine& line) {
    if (line.spans.empty()) {
        return {{line.text, line.boundingBox}};
    }
    std::vector<std::pair<QString, Rect>> spans;
    for (size_t i = 0; i < line.spans.size(); ++i) {
        const qsizetype start = line.spans[i].start;
        const qsizetype end = i + 1 < line.spans.size() ? line.spans[i + 1].start : line.text.size();
        spans.emplace_back(line.text.mid(start, end - start), line.spans[i].boundingBox);
    }
    return spans;
}

// The invisible lines of a page: each stretch set in one run at a size taken from its box's height
// and scaled horizontally to span the box's width, so selection and search cover the word images.
// The space that ends a stretch lies in the gap after its box, where readers look for it.
std::string textLayer(const PageInput& input, TextLayerFonts& fonts, Object fontResources) {
    std::string operators;
    for (const OCRLine& line : input.lines) {
        for (const auto& [text, normalisedBox] : spansOf(line)) {
            const Rect box = CoordinateMapper::mapNormalizedRect(normalisedBox, input.outputBounds);
            if (box.width <= smallestBoxSide || box.height <= smallestBoxSide || text.isEmpty()) {
                continue;
            }
            const TextLayerFonts::Run run = fonts.encode(text);
            const double width =
                text.endsWith(QLatin1Char(' ')) ? fonts.encode(text.trimmed()).width : run.width;
            if (width <= 0) {
                continue;
            }
            const double size = std::max(box.height * fontSizeFactor, smallestFontSize);
            const double horizontalScale = 100 * box.width / (width * size);
            fontResources.replaceKey(run.resourceName, run.font);
            operators += run.resourceName + " " + num(size) + " Tf " + num(horizontalScale) + " Tz 1 0 0 1 " +
                         num(box.minX()) + " " + num(box.minY() + box.height * baselineFactor) + " Tm " +
                         hexString(run.bytes) + " Tj\n";
        }
    }
    if (operators.empty()) {
        return {};
    }
    return "BT\n3 Tr\n" + operators + "ET\n";
}

// One upright output page: the source content (or the corrected raster) filling the canvas, then
// the invisible text. All five boxes are the canvas. The source page's annotations are moved with
// its drawing, also onto a corrected raster, which shows the page in the same place.
// How a reader steps to the page and through its fields, and the page's viewports: the scales of a
// drawing's measurements or a map's coordinates. Viewports lie in the page's own space, so they
// follow a page that was only moved; on a page set upright or straightened they would measure
// wrongly.
void keepPageSettings(QPDF& output, Object source, Object page, const QPDFMatrix& placement, int pageIndex,
                      QStringList& omissions) {
    for (const char* key : {"/Tabs", "/Trans", "/Dur"}) {
        if (source.hasKey(key)) {
            page.replaceKey(key, DocumentCatalog::copied(output, source.getKey(key)));
        }
    }
    Object viewports = source.getKey("/VP");
    if (!viewports.isArray()) {
        return;
    }
    if (placement.a != 1 || placement.b != 0 || placement.c != 0 || placement.d != 1) {
        omissions
            << QStringLiteral(
                   "the measuring scales of page %1 were left out, as the page was turned or straightened")
                   .arg(pageIndex + 1);
        return;
    }
    Object moved = Object::newArray();
    for (Object viewport : viewports.aitems()) {
        if (!viewport.isDictionary() || viewport.isPageObject() || !viewport.getKey("/BBox").isRectangle()) {
            continue;
        }
        Object copy = Object::newDictionary();
        for (auto& [key, value] : viewport.ditems()) {
            copy.replaceKey(key, DocumentCatalog::copied(output, value));
        }
        const auto r = copy.getKey("/BBox").getArrayAsRectangle();
        copy.replaceKey("/BBox",
                        Object::newArray(Object::Rectangle(r.llx + placement.e, r.lly + placement.f,
                                                           r.urx + placement.e, r.ury + placement.f)));
        moved.appendItem(copy);
    }
    page.replaceKey("/VP", moved);
}

struct AddedPage {
    QPDFMatrix placement; // where the source page's drawing lies on it
    DocumentStructure::CarriedPage structure;
};

AddedPage addPage(QPDF& output, TextLayerFonts& fonts, PageAnnotations& annotations, const PageInput& input,
                  QStringList& omissions, const std::shared_ptr<std::set<int>>& damagedPages) {
    Object xObjects = Object::newDictionary();
    Object fontResources = Object::newDictionary();
    const Rect& bounds = input.outputBounds;

    const auto transform = CoordinateMapper::drawTransform(input.page, input.turnsCW, input.deskewAngle);
    const QPDFMatrix placement(transform.m11(), transform.m12(), transform.m21(), transform.m22(),
                               transform.dx(), transform.dy());
    std::string content;
    Object sourceForm = Object::newNull();
    if (input.correctedRaster) {
        if (!input.page.pageObject().getObjectHandle().isDictionary()) {
            throw OCRError::missingPageContent(input.pageIndex);
        }
        xObjects.replaceKey("/Im0", imageXObject(output, *input.correctedRaster));
        const std::string box = num(bounds.minX()) + " " + num(bounds.minY()) + " " + num(bounds.width) +
                                " " + num(bounds.height);
        content += "q 1 g " + box + " re f Q\n";
        content += "q " + num(bounds.width) + " 0 0 " + num(bounds.height) + " " + num(bounds.minX()) + " " +
                   num(bounds.minY()) + " cm /Im0 Do Q\n";
    } else {
        sourceForm = sourcePageForm(output, input, damagedPages);
        xObjects.replaceKey("/Page0", sourceForm);
        content += "q " + matrix(transform) + " /Page0 Do Q\n";
    }
    // In a tagged document the recognised text is marked, to be given a place among the tags.
    const std::string layer = textLayer(input, fonts, fontResources);
    const bool tagged = input.page.document().qpdf().getRoot().getKey("/StructTreeRoot").isDictionary();
    content += tagged && !layer.empty() ? "/P << /MCID 0 >> BDC\n" + layer + "EMC\n" : layer;

    Object resources = Object::newDictionary();
    resources.replaceKey("/XObject", xObjects);
    if (!fontResources.getKeys().empty()) {
        resources.replaceKey("/Font", fontResources);
    }

    Object page = Object::newDictionary();
    page.replaceKey("/Type", Object::newName("/Page"));
    for (const char* box : {"/MediaBox", "/CropBox", "/TrimBox", "/BleedBox", "/ArtBox"}) {
        page.replaceKey(box, rectangle(bounds));
    }
    // A large-format page counts its units in multiples of a point; the copy keeps its size.
    if (Object unit = input.page.pageObject().getObjectHandle().getKey("/UserUnit"); unit.isNumber()) {
        page.replaceKey("/UserUnit", Object::newReal(unit.getNumericValue(), 4, true));
    }
    keepPageSettings(output, input.page.pageObject().getObjectHandle(), page, placement, input.pageIndex,
                     omissions);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", output.newStream(content));
    QPDFPageObjectHelper outputPage(output.makeIndirectObject(page));
    QPDFPageDocumentHelper(output).addPage(outputPage, false);
    try {
        annotations.copy(input.page, outputPage, placement);
    } catch (const std::exception& error) {
        omissions << QStringLiteral("the links, notes and form fields of page %1 could not be copied: %2")
                         .arg(input.pageIndex + 1)
                         .arg(QString::fromUtf8(error.what()));
    }
    return {placement,
            {input.page.pageObject().getObjectHandle(), outputPage.getObjectHandle(), sourceForm,
             tagged && !layer.empty()}};
}

// The one place where document-level data reaches the output: the information dictionary (title,
// author, subject, keywords, creator, the source's record), the optional sRGB output intent, the
// source's outline re-pointed at the new pages, and the rest of its catalog that a copy can keep.
void applyDocumentInformation(QPDF& output, const DocumentAttributes& attributes, bool srgbOutputIntent,
                              const PdfDocument* source, const std::vector<QPDFMatrix>& placements,
                              QStringList& omissions) {
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo(attributes, srgbOutputIntent), output);
    if (source != nullptr) {
        try {
            DocumentOutline::copyOutline(*source, output, placements);
        } catch (const PlatformError& error) {
            omissions << error.message();
        }
        try {
            DocumentCatalog::carryOver(*source, output, placements);
        } catch (const PlatformError& error) {
            omissions << error.message();
        }
    }
}

// An encrypted source gives its copy the same encryption: the same user and owner passwords,
// permissions and method.
void keepSourceProtection(QPDFWriter& writer, const std::vector<PageInput>& pages) {
    for (const PageInput& input : pages) {
        if (QPDF* encryption = input.page.document().encryption()) {
            writer.copyEncryptionParameters(*encryption);
            return;
        }
    }
}

// Serialises the output into the staged file. The source's streams keep their encoding (images
// are copied as they are); only unfiltered streams, ours, are compressed. The source's stream data
// is read only now, so a damaged or vanished source shows up here, told apart from the output's
// own write failures (which the staged file explains itself).
void serialise(QPDF& output, const std::vector<PageInput>& pages, StagedOutputFile& staged) {
    try {
        QPDFWriter writer(output);
        writer.setOutputPipeline(&staged.pipeline());
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(true);
        writer.setObjectStreamMode(qpdf_o_generate);
        std::set<const QPDF*> sources;
        for (const PageInput& input : pages) {
            QPDF& source = input.page.document().qpdf();
            if (sources.insert(&source).second) {
                writer.setMinimumPDFVersion(source.getPDFVersion(), source.getExtensionLevel());
            }
        }
        keepSourceProtection(writer, pages);
        writer.write();
    } catch (const OCRError&) {
        throw;
    } catch (const PlatformError& error) {
        throw OCRError::outputWriteFailed(error.message()); // the staged file's own write failed
    } catch (const QPDFExc& error) {
        throw OCRError::outputWriteFailed(
            QStringLiteral("the source PDF is damaged, and part of it could not be read (%1)")
                .arg(QString::fromStdString(error.getMessageDetail())));
    } catch (const QPDFSystemError& error) {
        throw OCRError::outputWriteFailed(QStringLiteral("the source PDF could not be read again: ") +
                                          FileErrors::reading(error.getErrno()));
    } catch (const std::bad_alloc&) {
        throw OCRError::outputWriteFailed(QStringLiteral("there is not enough memory to write this document"));
    } catch (const std::exception&) {
        throw OCRError::outputWriteFailed(QStringLiteral("could not serialize output"));
    }
}

} // namespace

QStringList write(std::vector<PageInput> pages, const DocumentAttributes& attributes, const QString& outputPath,
                  bool srgbOutputIntent, const PdfDocument* source, mode_t permissions) {
    std::stable_sort(pages.begin(), pages.end(),
                     [](const PageInput& a, const PageInput& b) { return a.pageIndex < b.pageIndex; });
    if (pages.empty()) {
        throw OCRError::emptyDocument();
    }
    const QString sourcePath = source != nullptr && !source->path().isEmpty()
                                   ? source->path()
                                   : pages.front().page.document().path();
    if (!sourcePath.isEmpty() && OutputPath::isSameFile(sourcePath, outputPath)) {
        throw OCRError::outputOverwritesSource();
    }

    StagedOutputFile staged(outputPath);
    if (!staged.create(permissions)) {
        throw OCRError::outputWriteFailed(explainCreationFailure(outputPath, errno));
    }

    QPDF output;
    output.emptyPDF();
    output.setSuppressWarnings(true);
    TextLayerFonts fonts(output);
    PageAnnotations annotations(output);
    QStringList omissions;
    std::vector<QPDFMatrix> placements;
    std::vector<DocumentStructure::CarriedPage> structuredPages;
    const auto damagedPages = std::make_shared<std::set<int>>(); // found while the output is written
    for (const PageInput& input : pages) {
        AddedPage added = addPage(output, fonts, annotations, input, omissions, damagedPages);
        placements.push_back(added.placement);
        structuredPages.push_back(std::move(added.structure));
    }
    fonts.finish();
    try {
        annotations.finish();
    } catch (const std::exception& error) {
        omissions << QStringLiteral("the links between pages and the form's calculation order could not be copied: ") +
                         QString::fromUtf8(error.what());
    }
    applyDocumentInformation(output, attributes, srgbOutputIntent, source, placements, omissions);
    if (source != nullptr) {
        try {
            DocumentStructure::carryOver(*source, output, structuredPages, [&](QPDFObjGen annotation) {
                return annotations.copyOf(*source, annotation);
            });
        } catch (const PlatformError& error) {
            omissions << error.message();
        }
    }

    serialise(output, pages, staged);
    for (const int page : *damagedPages) {
        omissions
            << QStringLiteral(
                   "the content of page %1 is damaged, and the copy shows only what could be read of it")
                   .arg(page + 1);
    }
    if (source != nullptr && source->changedSinceOpened()) {
        throw OCRError::cannotReadSource(QStringLiteral(
            "it was written to while it was being made searchable, so nothing was saved. Try again once "
            "it is complete."));
    }
    try {
        staged.close();
        staged.commit();
    } catch (const PlatformError& error) {
        throw OCRError::outputWriteFailed(error.message());
    }
    return omissions;
}

QString explainCreationFailure(const QString& outputPath, int error) {
    // A missing or forbidden folder is explained by looking at it; a full or read-only disk by the
    // system's own answer. A folder that takes files, only not under this name, is on a disk that
    // refuses some characters: FAT and exFAT drives say EINVAL, some FUSE drivers EPERM.
    const QString refusedName =
        QStringLiteral("The disk of the output folder does not take the name \"%1\" (drives formatted FAT or "
                       "exFAT refuse the characters \\ : * ? \" < > |). Rename the source, or choose another "
                       "output name template or folder.")
            .arg(FileNames::shown(QFileInfo(outputPath).fileName()));
    if (error == EINVAL || error == EILSEQ) {
        return refusedName;
    }
    if (error != ENOENT && error != ENOTDIR && error != EACCES && error != EPERM) {
        return FileErrors::writing(error, outputPath);
    }
    const QString diagnosis = diagnoseContextFailure(outputPath);
    return diagnosis == contextFailure ? refusedName : diagnosis;
}

QString diagnoseContextFailure(const QString& outputPath) {
    const QString folder = QFileInfo(outputPath).absolutePath();
    if (!FileNames::isDirectory(folder)) {
        return QStringLiteral("the output folder no longer exists");
    }
    const QByteArray probe = FileNames::encode(folder + QStringLiteral("/.quorvane-probe-") +
                                               QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    const int descriptor = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
        ::close(descriptor);
        ::unlink(probe.constData());
        return contextFailure;
    }
    return QStringLiteral(
               "Quorvane is not allowed to write to \"%1\". Check the folder's permissions, or choose "
               "another output folder.")
        .arg(QFileInfo(folder).fileName());
}

} // namespace quorvane::TextLayerWriter

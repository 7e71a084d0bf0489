#include "pipeline/OCRPipeline.h"

#include "core/OCRError.h"
#include "core/ReadingOrder.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "pipeline/CoordinateMapper.h"
#include "pipeline/DPIAnalyzer.h"
#include "pipeline/DocumentLimits.h"
#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/OutputLock.h"
#include "pipeline/OutputPath.h"
#include "pipeline/PDFAuxBuilder.h"
#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageCheck.h"
#include "pipeline/PageTaskPool.h"
#include "pipeline/PageWork.h"
#include "pipeline/RecognitionSlots.h"
#include "pipeline/SourceFile.h"
#include "pipeline/StagedOutputFile.h"
#include "pipeline/TextLayerWriter.h"
#include "pipeline/WrittenOutputs.h"
#include "platform/DebugLog.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"
#include "platform/HeapPolicy.h"
#include "platform/PdfDocument.h"
#include "platform/SystemMemory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace quorvane {

QString Phase::progressText() const {
    switch (kind) {
    case Kind::preparing: return QStringLiteral("Preparing document…");
    case Kind::recognizing: return QStringLiteral("Recognizing page %1 of %2…").arg(currentPage).arg(totalPages);
    case Kind::writing: return QStringLiteral("Writing text layer…");
    default: return {};
    }
}

QStringList DocumentSummary::problems() const {
    QStringList lines;
    if (sidecarError) {
        lines << QStringLiteral("the .txt copy could not be saved: ") + *sidecarError;
    }
    return lines + omissions;
}

namespace {

// The result of work done off the main thread: a value, or the phase that what stopped it ends
// the run with.
template <typename T>
struct Attempt {
    std::optional<T> value;
    Phase failure;
};

template <typename Work>
auto attempt(Work&& work) -> Attempt<std::invoke_result_t<Work>> {
    try {
        return {work(), {}};
    } catch (const std::exception& error) {
        return {std::nullopt, Phase::failed(errorText(error), errorKind(error))};
    }
}

} // namespace

// What decides how a page is treated, read off the main thread: its text and its resources are
// parsed from the file.
struct PageLook {
    int index = 0;
    std::optional<PdfPage> page; // none when the document yields no page here
    Rect bounds;                 // as displayed
    bool hasText = false;        // existing text beyond white space: passed through, not recognised
    std::optional<double> dpi;   // the scan's effective resolution, when known
};

struct PageProgress {
    enum class State { waiting, looked, returned, failed };
    State state = State::waiting;
    std::optional<PageLook> look;        // once looked at
    std::optional<PageOutcome> outcome;  // a recognised page, once returned
};

namespace {

// Memory one more page in flight may need: its bitmap, the cleaned and corrected copies and the
// engine's own images of it (a 300-DPI letter page in colour is 26 MB).
constexpr std::uint64_t memoryForOnePage = 256ull << 20;

bool memoryForAnotherPage() {
    const auto available = SystemMemory::availableBytes();
    return !available || *available >= memoryForOnePage;
}

} // namespace

struct OCRPipeline::Run {
    QString source;
    QString output;
    OCROptions options;
    std::optional<QString> password;
    std::optional<SourceRecord> record; // the source as the run found it, recorded in the output
    std::optional<DocumentAttributes> earlierOutput; // what the copy this run replaces records
    std::atomic<bool> cancelled = false; // set on the pipeline's thread, read by the image conversion too

    std::unique_ptr<OutputLock> outputLock; // held from before the first page to the end
    QString temporaryPdf; // made from an image source, deleted when the run ends
    std::unique_ptr<PdfDocument> document;
    // QPDF and Poppler objects are not safe to use from two threads: pages in flight read the
    // document one at a time. Their own work (cleaning, recognition) runs beside each other.
    std::mutex documentAccess;
    int pageCount = 0;
    bool enginesPrepared = false;
    std::vector<std::optional<TextLayerWriter::PageInput>> slots;

    // Pages are handed out in page order, worked on several at a time, and taken back in page
    // order: progress[i] holds page i from its return until it is taken.
    std::vector<PageProgress> progress;
    int nextPage = 0;      // the next page to hand out
    int pagesInFlight = 0; // handed out and not yet returned
    int nextToTake = 0;    // the first page not yet taken
    std::optional<std::pair<int, Phase>> failure; // of the earliest failed page

    int skippedPages = 0;
    float confidenceSum = 0;
    int lineCount = 0;
    int lowConfidencePages = 0;
    int lowDPIPages = 0;
    int rotatedPages = 0;
    int deskewedPages = 0;
    int perspectiveCorrectedPages = 0;

    std::optional<QString> sidecarURL;
    std::optional<QString> sidecarError;
    QStringList omissions;
    bool sourceSigned = false;

    void releaseFiles() {
        document.reset();
        outputLock.reset();
        if (!temporaryPdf.isEmpty()) {
            QFile::remove(temporaryPdf);
            temporaryPdf.clear();
        }
    }
    ~Run() { releaseFiles(); }
};

namespace {

// An output that records another source file is that file's searchable copy (report.pdf and
// report.jpg both make report_searchable.pdf), and a PDF that Quorvane did not make is someone's
// document (report.pdf itself, for report.png under the template "{name}"): neither is replaced.
// Nor is a file that cannot be told from one: it does not open as a PDF, or the run's password
// does not unlock it (a locked source's copy keeps the source's password). A copy made before
// sources were recorded is replaced. Returns what the earlier copy records, none when there is no
// output.
std::optional<DocumentAttributes> refuseToReplaceAnotherDocument(const QString& output, const QString& source,
                                                                 const std::optional<QString>& password) {
    if (!QFileInfo(output).isFile()) {
        return std::nullopt;
    }
    const QString outputName = QFileInfo(output).fileName(), sourceName = QFileInfo(source).fileName();
    const auto existing = PdfDocument::open(output);
    if (!existing) {
        throw OCRError::outputOfUnknownOrigin(outputName, sourceName, false);
    }
    if (existing->isLocked() && !existing->unlock(password.value_or(QString()))) {
        throw OCRError::outputOfUnknownOrigin(outputName, sourceName, true);
    }
    const DocumentAttributes attributes = existing->attributes();
    // A copy beside a file of its source's name is that file's, wherever the folder has gone since.
    const auto file = SourceRecord::of(source);
    const bool beside = QFileInfo(output).canonicalPath() == QFileInfo(source).canonicalPath();
    if (attributes.source &&
        (file && !beside ? !attributes.source->isOf(*file) : attributes.source->name != sourceName)) {
        throw OCRError::outputOfAnotherSource(outputName, attributes.source->name, sourceName);
    }
    if (!PDFAuxBuilder::isSearchableCopy(attributes)) {
        throw OCRError::outputNotMadeByQuorvane(outputName, sourceName);
    }
    return attributes;
}

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Of a file read a block at a time (a text file of someone's may be large); empty when unreadable.
QString sha256OfFile(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}

// The digest of the text file beside `output` when it is the text copy of `earlierOutput` (the
// copy the output replaces), or one that copy found beside itself and wrote none in place of.
std::optional<QString> textCopyLeftBeside(const QString& output,
                                          const std::optional<DocumentAttributes>& earlierOutput) {
    const QString path = OutputPath::textCopyPath(output);
    // Only a regular file is read for its digest: a named pipe would block the read.
    if (!earlierOutput || !QFileInfo(path).isFile()) {
        return {};
    }
    const QString digest = sha256OfFile(path);
    const bool ours = !earlierOutput->textCopy || digest == *earlierOutput->textCopy ||
                      digest == earlierOutput->formerTextCopy;
    return ours && !digest.isEmpty() ? std::optional(digest) : std::nullopt;
}

} // namespace

// Everything between the overwrite check and the page loop; throws what stops the run.
void OCRPipeline::prepare(Run& run) {
    DebugLog::captureLibraryMessages(); // before libvips or Poppler first speak
    SourceFile::checkReadable(run.source);
    run.outputLock = std::make_unique<OutputLock>(run.output);
    run.outputLock->removeStaleStagedFiles();
    DocumentLimits::checkFileSize(run.source, DocumentLimits::maxFileSize);
    run.record = SourceRecord::of(run.source);

    QString pdfPath = run.source;
    const bool image = ImagePDFBuilder::isSupportedImage(run.source);
    if (image) {
        // Before the conversion, which may take seconds: an image has no password to wait for.
        run.earlierOutput = refuseToReplaceAnotherDocument(run.output, run.source, run.password);
        run.temporaryPdf = ImagePDFBuilder::makePDF(run.source, [&run] { return run.cancelled.load(); });
        if (run.temporaryPdf.isEmpty()) {
            return; // cancelled: the run ends as this step does
        }
        pdfPath = run.temporaryPdf;
    }

    run.document = PdfDocument::open(pdfPath);
    if (!run.document) {
        throw OCRError::cannotOpenPDF();
    }
    if (run.document->isLocked()) {
        const QString password = run.password.value_or(QString());
        if (!run.document->unlock(password)) {
            throw password.isEmpty() ? OCRError::passwordRequired() : OCRError::incorrectPassword();
        }
    }
    if (!image) {
        // Once the source is open: a locked source's own copy opens with its password.
        run.earlierOutput = refuseToReplaceAnotherDocument(run.output, run.source, run.password);
    }

    run.pageCount = run.document->pageCount();
    if (run.pageCount < 1) {
        throw OCRError::emptyDocument();
    }
    DocumentLimits::checkPageCount(run.pageCount, DocumentLimits::maxPages);
    run.slots.assign(static_cast<size_t>(run.pageCount), std::nullopt);
    run.progress.assign(static_cast<size_t>(run.pageCount), PageProgress{});
}

namespace {

PageLook lookAt(const PdfDocument& document, int index) {
    PageLook look{.index = index, .page = document.page(index)};
    if (look.page) {
        PageCheck::checkUsable(*look.page);
        look.bounds = CoordinateMapper::displayBounds(*look.page);
        look.hasText = !look.page->text().trimmed().isEmpty();
        if (!look.hasText) {
            look.dpi = DPIAnalyzer::effectiveDPI(*look.page);
        }
    }
    return look;
}

// The canvas of a page after its quarter turns and deskew rotation.
Rect outputRect(const Rect& pageRect, int turnsCW, double deskewAngle) {
    const Rect turned = PageOrientation::rotatedBounds(turnsCW, pageRect);
    return deskewAngle != 0 ? PageDeskew::deskewedBounds(deskewAngle, turned) : turned;
}

QString pageText(const TextLayerWriter::PageInput& input) {
    if (input.skippedExistingText) {
        // Poppler ends a page's text with a line break and a form feed: pages here are separated
        // by one empty line, whichever way their text came.
        QString text = input.page.text();
        while (!text.isEmpty() && text.back().isSpace()) {
            text.chop(1);
        }
        return text;
    }
    QStringList lines;
    for (const auto& line : input.lines) {
        lines.append(line.text);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

OCRPipeline::OCRPipeline(std::shared_ptr<const TextRecognizer> recognizer, QObject* parent)
    : QObject(parent), recognizer_(std::move(recognizer)),
      pageRecognizer_(std::make_shared<SlottedRecognizer>(recognizer_)) {}

OCRPipeline::~OCRPipeline() = default;

void OCRPipeline::setPhase(const Phase& phase) {
    if (phase_ == phase) {
        return;
    }
    phase_ = phase;
    Q_EMIT phaseChanged(phase_);
}

void OCRPipeline::setRunning(bool running) {
    if (isRunning_ == running) {
        return;
    }
    isRunning_ = running;
    Q_EMIT isRunningChanged(isRunning_);
}

bool OCRPipeline::requiresPassword(const QString& path) {
    const auto document = PdfDocument::open(path);
    return document && document->isLocked() && !document->unlock(QString());
}

void OCRPipeline::process(const QString& source, const QString& output, const OCROptions& options,
                          const std::optional<QString>& password) {
    if (isRunning_) {
        return;
    }
    setRunning(true);
    wasCancelled_ = false;
    if (OutputPath::isSameFile(source, output)) {
        setPhase(Phase::failed(OCRError::outputOverwritesSource()));
        setRunning(false);
        return;
    }

    auto run = std::make_shared<Run>();
    run->source = source;
    run->output = output;
    run->options = options;
    run->password = password;
    run_ = run;
    setPhase(Phase::preparing());

    QtConcurrent::run(documentTaskPool(), [run] { return attempt([&] { prepare(*run); return true; }); })
        .then(this, [this, run](const Attempt<bool>& prepared) {
            if (run != run_) {
                return;
            }
            if (stopIfCancelled()) {
                return;
            }
            if (!prepared.value) {
                finish(prepared.failure);
                return;
            }
            handOutPages();
        });
}

// Keeps up to one page per page thread in flight, fewer when the system has no memory for one
// more, so that every core has a page to work on. Only pages in flight hold bitmaps; returned
// pages keep their lines until the output is written. A page whose work ends before its
// continuation is attached comes back inside lookAtPage: the loop then sees what it changed, and
// only the outermost call may end the run.
void OCRPipeline::handOutPages() {
    if (handingOutPages_) {
        return;
    }
    Run& run = *run_;
    handingOutPages_ = true;
    while (!run.cancelled && !run.failure && run.nextPage < run.pageCount &&
           run.pagesInFlight < pageThreadCount() && (run.pagesInFlight == 0 || memoryForAnotherPage())) {
        lookAtPage(run.nextPage++);
    }
    handingOutPages_ = false;
    if (run.pagesInFlight == 0) {
        endPages();
    }
}

// Reading a page's text happens beside the page work, so pages that already have text go by
// while others are recognised.
void OCRPipeline::lookAtPage(int index) {
    run_->pagesInFlight += 1;
    auto runRef = run_;
    QtConcurrent::run(documentTaskPool(), [runRef, index] {
        std::lock_guard access(runRef->documentAccess);
        return attempt([&] { return lookAt(*runRef->document, index); });
    }).then(this, [this, runRef, index](const Attempt<PageLook>& look) {
        Run& run = *runRef;
        PageProgress& progress = run.progress[static_cast<size_t>(index)];
        if (!look.value) {
            progress.state = PageProgress::State::failed;
            if (!run.failure || run.failure->first > index) {
                run.failure = {index, look.failure};
            }
        } else if (run.cancelled || run.failure) {
            // The run ends without this page: it stays waiting, and so do the pages after it.
        } else if (!look.value->page || look.value->hasText) {
            progress.look = *look.value;
            progress.state = PageProgress::State::returned;
        } else {
            progress.look = *look.value;
            progress.state = PageProgress::State::looked;
            takeFinishedPages();
            recognizePage(*look.value);
            return;
        }
        pageReturned();
    });
}

void OCRPipeline::recognizePage(const PageLook& look) {
    Run& run = *run_;
    if (!run.enginesPrepared) {
        // Loading the models (a few tenths of a second) overlaps rendering the first page.
        run.enginesPrepared = true;
        documentTaskPool()->start([recognizer = recognizer_, options = run.options] { recognizer->prepare(options); });
    }
    auto runRef = run_;
    // The work holds the recognizer too: a pipeline deleted meanwhile leaves it in use.
    QtConcurrent::run(pageTaskPool(), [runRef, page = *look.page, options = run.options,
                                       recognizer = pageRecognizer_, index = look.index] {
        return attempt([&] {
            std::optional<Raster> bitmap;
            {
                std::lock_guard access(runRef->documentAccess);
                bitmap = PDFPageRasterizer::render(page, PDFPageRasterizer::targetDPI);
            }
            if (!bitmap) {
                throw OCRError::rasterizationFailed(index);
            }
            return PageWork::process(std::move(*bitmap), options, *recognizer);
        });
    }).then(this, [this, runRef, index = look.index](const Attempt<PageOutcome>& outcome) {
        Run& run = *runRef;
        PageProgress& progress = run.progress[static_cast<size_t>(index)];
        if (outcome.value) {
            progress.outcome = *outcome.value;
            progress.state = PageProgress::State::returned;
        } else {
            progress.state = PageProgress::State::failed;
            if (!run.failure || run.failure->first > index) {
                run.failure = {index, outcome.failure};
            }
        }
        pageReturned();
    });
}

void OCRPipeline::pageReturned() {
    Run& run = *run_;
    run.pagesInFlight -= 1;
    takeFinishedPages();
    handOutPages();
}

// Takes the returned pages in page order, each recognised page shown as the one being recognised
// as its turn comes, so the progress moves forward page by page whatever order pages end in.
void OCRPipeline::takeFinishedPages() {
    Run& run = *run_;
    while (run.nextToTake < run.pageCount) {
        const int index = run.nextToTake;
        PageProgress& progress = run.progress[static_cast<size_t>(index)];
        const bool recognised = progress.look && progress.look->page && !progress.look->hasText;
        if (progress.state == PageProgress::State::waiting) {
            return;
        }
        if (recognised) {
            setPhase(Phase::recognizing(index + 1, run.pageCount));
        }
        if (progress.state != PageProgress::State::returned) {
            return; // still being recognised, or failed: later pages wait
        }
        if (progress.outcome) {
            storePage(*progress.look, *progress.outcome);
        } else if (progress.look && progress.look->hasText) {
            run.slots[static_cast<size_t>(index)] = TextLayerWriter::PageInput{.page = *progress.look->page,
                                                                              .outputBounds = progress.look->bounds,
                                                                              .pageIndex = index,
                                                                              .skippedExistingText = true};
            run.skippedPages += 1;
        }
        progress = {}; // its lines now live in the slot
        run.nextToTake += 1;
    }
}

// Every page is back: the run is written, or ends with what stopped it.
void OCRPipeline::endPages() {
    Run& run = *run_;
    if (stopIfCancelled()) {
        return;
    }
    if (run.failure) {
        finish(run.failure->second);
        return;
    }
    // The pages' bitmaps are gone: what the next document will not reuse goes back. Trimming
    // holds each heap's lock while it hands memory back (half a second after a page, measured in
    // the window): it waits for a moment when no page is worked on anywhere in the process, and
    // until then the pages in flight reuse the freed bitmaps' memory.
    if (pageTaskPool()->activeThreadCount() == 0) {
        documentTaskPool()->start(&HeapPolicy::trimExcess);
    }
    writeOutput();
}

void OCRPipeline::storePage(const PageLook& look, const PageOutcome& outcome) {
    Run& run = *run_;
    if (look.dpi && *look.dpi < lowDPIThreshold) {
        run.lowDPIPages += 1;
    }
    run.rotatedPages += outcome.turnsCW != 0 ? 1 : 0;
    run.deskewedPages += outcome.deskewAngle != 0 ? 1 : 0;
    run.perspectiveCorrectedPages += outcome.correctedRaster ? 1 : 0;

    auto lines = ReadingOrder::order(outcome.lines);
    if (!lines.empty()) {
        float sum = 0;
        for (const auto& line : lines) {
            sum += line.confidence;
        }
        const int count = static_cast<int>(lines.size());
        run.lineCount += count;
        run.confidenceSum += sum;
        if (sum / static_cast<float>(count) < lowConfidenceThreshold) {
            run.lowConfidencePages += 1;
        }
    }

    run.slots[static_cast<size_t>(look.index)] = TextLayerWriter::PageInput{
        .page = *look.page,
        .outputBounds = outputRect(look.bounds, outcome.turnsCW, outcome.deskewAngle),
        .turnsCW = outcome.turnsCW,
        .deskewAngle = outcome.deskewAngle,
        .correctedRaster = outcome.correctedRaster,
        .lines = std::move(lines),
        .pageIndex = look.index,
        .skippedExistingText = false,
    };
}

void OCRPipeline::writeOutput() {
    setPhase(Phase::writing());
    Run& run = *run_;
    const float averageConfidence = run.lineCount >= 1 ? run.confidenceSum / static_cast<float>(run.lineCount) : 0;

    DocumentSummary summary;
    summary.skippedPages = run.skippedPages;
    if (run.pageCount - run.skippedPages < 1) {
        finish(Phase::done(summary)); // every page already had text: nothing to write
        return;
    }
    summary.outputURL = run.output;
    summary.processedPages = run.pageCount - run.skippedPages;
    summary.averageConfidence = averageConfidence;
    summary.lowConfidencePages = run.lowConfidencePages;
    summary.lowDPIPages = run.lowDPIPages;
    summary.rotatedPages = run.rotatedPages;
    summary.deskewedPages = run.deskewedPages;
    summary.perspectiveCorrectedPages = run.perspectiveCorrectedPages;

    auto runRef = run_;
    QtConcurrent::run(documentTaskPool(), [runRef] {
        Run& run = *runRef;
        std::vector<TextLayerWriter::PageInput> inputs;
        for (const auto& slot : run.slots) {
            if (slot) {
                inputs.push_back(*slot);
            }
        }
        const mode_t permissions = StagedOutputFile::permissionsLike(run.source);
        const bool withTextCopy = run.options.writesTextSidecar;
        const QByteArray textCopy = withTextCopy ? sidecarText(inputs) : QByteArray();
        auto written = attempt([&] {
            DocumentAttributes attributes = run.document->attributes();
            attributes.source = run.record;
            attributes.textCopy = withTextCopy ? sha256(textCopy) : QString::fromLatin1(noTextCopy);
            // A copy left by an earlier run stays ours to replace after a run that wrote none.
            attributes.formerTextCopy = textCopyLeftBeside(run.output, run.earlierOutput);
            run.omissions = TextLayerWriter::write(inputs, attributes, run.output, run.options.pdfAExport,
                                                   run.document.get(), permissions);
            run.sourceSigned = run.document->isSigned();
            WrittenOutputs::add(run.output);
            return true;
        });
        if (written.value && withTextCopy) {
            auto sidecar = attempt(
                [&] { return writeTextSidecar(textCopy, run.output, permissions, run.earlierOutput); });
            run.sidecarURL = sidecar.value;
            if (!sidecar.value) {
                run.sidecarError = sidecar.failure.message;
            }
        }
        return written;
    }).then(this, [this, runRef, summary](const Attempt<bool>& written) mutable {
        if (runRef != run_) {
            return;
        }
        if (!written.value) {
            finish(written.failure);
            return;
        }
        summary.sidecarURL = runRef->sidecarURL;
        summary.sidecarError = runRef->sidecarError;
        summary.omissions = runRef->omissions;
        summary.sourceSigned = runRef->sourceSigned;
        if (runRef->document->encryption() != nullptr) {
            summary.protection = runRef->document->neededPassword() ? DocumentSummary::Protection::password
                                                                    : DocumentSummary::Protection::permissions;
        }
        finish(Phase::done(summary));
    });
}

void OCRPipeline::cancel() {
    if (run_) {
        run_->cancelled = true;
    }
}

// Ends a cancelled run between two steps; false when the run goes on.
bool OCRPipeline::stopIfCancelled() {
    if (!run_->cancelled) {
        return false;
    }
    wasCancelled_ = true;
    finish(Phase::failed(cancelledMessage));
    return true;
}

void OCRPipeline::finish(const Phase& outcome) {
    run_->releaseFiles();
    run_.reset();
    setPhase(outcome);
    setRunning(false);
}

QByteArray OCRPipeline::sidecarText(const std::vector<TextLayerWriter::PageInput>& pages) {
    std::vector<const TextLayerWriter::PageInput*> sorted;
    for (const auto& page : pages) {
        sorted.push_back(&page);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto* a, const auto* b) { return a->pageIndex < b->pageIndex; });
    QStringList texts;
    for (const auto* page : sorted) {
        texts.append(pageText(*page));
    }
    return texts.join(QStringLiteral("\n\n")).toUtf8();
}

QString OCRPipeline::writeTextSidecar(const QByteArray& text, const QString& output, mode_t permissions,
                                      const std::optional<DocumentAttributes>& earlierOutput) {
    const QString path = OutputPath::textCopyPath(output);
    // A text file of that name is replaced only as the text copy of the output replaced before it:
    // otherwise it is someone's own (notes beside their scans under the template "{name}", another
    // program's text, or our copy edited since). Copies made before they recorded their text copy
    // are taken at their word.
    if (FileNames::exists(path)) {
        const bool ours =
            earlierOutput && (!earlierOutput->textCopy || textCopyLeftBeside(output, earlierOutput));
        if (!ours) {
            throw PlatformError(
                QStringLiteral("a file named \"%1\" is already there, and it is not the text copy "
                               "of an earlier output (or was changed since), so it was left as it is.")
                    .arg(FileNames::shown(QFileInfo(path).fileName())));
        }
    }
    StagedOutputFile file(path);
    if (!file.create(permissions)) {
        throw PlatformError(FileErrors::writing(errno, path));
    }
    file.pipeline().write(reinterpret_cast<const unsigned char*>(text.constData()), static_cast<size_t>(text.size()));
    file.close();
    file.commit();
    return path;
}

} // namespace quorvane

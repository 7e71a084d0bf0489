#include "pipeline/OCRPipeline.h"

#include "core/OCRError.h"
#include "core/ReadingOrder.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "pipeline/CoordinateMapper.h"
#include "pipeline/DPIAnalyzer.h"
#include "pipeline/DocumentLimits.h"
#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/OutputPath.h"
#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageTaskPool.h"
#include "pipeline/PageWork.h"
#include "pipeline/TextLayerWriter.h"
#include "platform/HeapPolicy.h"
#include "platform/PdfDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>

namespace quorvane {

QString Phase::progressText() const {
    switch (kind) {
    case Kind::preparing: return QStringLiteral("Preparing document…");
    case Kind::recognizing: return QStringLiteral("Recognizing page %1 of %2…").arg(currentPage).arg(totalPages);
    case Kind::writing: return QStringLiteral("Writing text layer…");
    default: return {};
    }
}

namespace {

// The result of work done off the main thread: a value, or the readable text of what stopped it.
template <typename T>
struct Attempt {
    std::optional<T> value;
    QString error;
};

template <typename Work>
auto attempt(Work&& work) -> Attempt<std::invoke_result_t<Work>> {
    try {
        return {work(), {}};
    } catch (const std::exception& error) {
        return {std::nullopt, errorText(error)};
    }
}

} // namespace

struct OCRPipeline::Run {
    QString source;
    QString output;
    OCROptions options;
    std::optional<QString> password;

    QString temporaryPdf; // made from an image source, deleted when the run ends
    std::unique_ptr<PdfDocument> document;
    int pageCount = 0;
    int nextPage = 0;
    bool enginesPrepared = false;
    std::vector<std::optional<TextLayerWriter::PageInput>> slots;

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

    void releaseFiles() {
        document.reset();
        if (!temporaryPdf.isEmpty()) {
            QFile::remove(temporaryPdf);
            temporaryPdf.clear();
        }
    }
    ~Run() { releaseFiles(); }
};

namespace {

} // namespace

// Everything between the overwrite check and the page loop; throws what stops the run.
void OCRPipeline::prepare(Run& run) {
    DocumentLimits::checkFileSize(run.source, DocumentLimits::maxFileSize);

    QString pdfPath = run.source;
    if (ImagePDFBuilder::isSupportedImage(run.source)) {
        run.temporaryPdf = ImagePDFBuilder::makePDF(run.source);
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

    run.pageCount = run.document->pageCount();
    if (run.pageCount < 1) {
        throw OCRError::emptyDocument();
    }
    DocumentLimits::checkPageCount(run.pageCount, DocumentLimits::maxPages);
    run.slots.assign(static_cast<size_t>(run.pageCount), std::nullopt);
}

namespace {

// The canvas of a page after its quarter turns and deskew rotation.
Rect outputRect(const Rect& pageRect, int turnsCW, double deskewAngle) {
    const Rect turned = PageOrientation::rotatedBounds(turnsCW, pageRect);
    return deskewAngle != 0 ? PageDeskew::deskewedBounds(deskewAngle, turned) : turned;
}

QString pageText(const TextLayerWriter::PageInput& input) {
    if (input.skippedExistingText) {
        return input.page.text();
    }
    QStringList lines;
    for (const auto& line : input.lines) {
        lines.append(line.text);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

OCRPipeline::OCRPipeline(QObject* parent) : QObject(parent) {}

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
    if (OutputPath::isSameFile(source, output)) {
        setPhase(Phase::failed(OCRError::outputOverwritesSource().description()));
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

    QtConcurrent::run(pageTaskPool(), [run] { return attempt([&] { prepare(*run); return true; }); })
        .then(this, [this, run](const Attempt<bool>& prepared) {
            if (run != run_) {
                return;
            }
            if (!prepared.value) {
                finish(Phase::failed(prepared.error));
                return;
            }
            continueWithNextPage();
        });
}

// Pages are taken strictly one after another: the next is not rendered before the previous
// page's outcome is stored, so one page's rasters are alive at a time.
void OCRPipeline::continueWithNextPage() {
    Run& run = *run_;
    while (run.nextPage < run.pageCount) {
        const int index = run.nextPage++;
        const auto page = run.document->page(index);
        if (!page) {
            continue;
        }
        const Rect pageRect = CoordinateMapper::displayBounds(*page);
        if (!page->text().trimmed().isEmpty()) {
            run.slots[static_cast<size_t>(index)] = TextLayerWriter::PageInput{
                .page = *page, .outputBounds = pageRect, .pageIndex = index, .skippedExistingText = true};
            run.skippedPages += 1;
            continue;
        }

        setPhase(Phase::recognizing(index + 1, run.pageCount));
        const auto dpi = DPIAnalyzer::effectiveDPI(*page);
        if (dpi && *dpi < lowDPIThreshold) {
            run.lowDPIPages += 1;
        }

        if (!run.enginesPrepared) {
            // Loading the models (a few tenths of a second) overlaps rendering the first page.
            run.enginesPrepared = true;
            pageTaskPool()->start([options = run.options] { TesseractOCRService::prepareEngines(options); });
        }
        auto runRef = run_;
        QtConcurrent::run(pageTaskPool(), [page = *page, options = run.options, ocr = ocr_, index] {
            return attempt([&] {
                auto bitmap = PDFPageRasterizer::render(page, PDFPageRasterizer::targetDPI);
                if (!bitmap) {
                    throw OCRError::rasterizationFailed(index);
                }
                return PageWork::process(std::move(*bitmap), options, ocr);
            });
        }).then(this, [this, runRef, index](const Attempt<PageOutcome>& outcome) {
            // The page's bitmaps are gone: what the next pages will not reuse goes back, beside
            // their work.
            pageTaskPool()->start(&HeapPolicy::trimExcess);
            if (runRef != run_) {
                return;
            }
            if (!outcome.value) {
                finish(Phase::failed(outcome.error));
                return;
            }
            storePage(index, *outcome.value);
            continueWithNextPage();
        });
        return;
    }
    writeOutput();
}

void OCRPipeline::storePage(int index, const PageOutcome& outcome) {
    Run& run = *run_;
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

    const auto page = run.document->page(index);
    const Rect pageRect = CoordinateMapper::displayBounds(*page);
    run.slots[static_cast<size_t>(index)] = TextLayerWriter::PageInput{
        .page = *page,
        .outputBounds = outputRect(pageRect, outcome.turnsCW, outcome.deskewAngle),
        .turnsCW = outcome.turnsCW,
        .deskewAngle = outcome.deskewAngle,
        .correctedRaster = outcome.correctedRaster,
        .lines = std::move(lines),
        .pageIndex = index,
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
    QtConcurrent::run(pageTaskPool(), [runRef] {
        Run& run = *runRef;
        std::vector<TextLayerWriter::PageInput> inputs;
        for (const auto& slot : run.slots) {
            if (slot) {
                inputs.push_back(*slot);
            }
        }
        auto written = attempt([&] {
            TextLayerWriter::write(inputs, run.document->attributes(), run.output, run.options.pdfAExport,
                                   run.document.get());
            return true;
        });
        if (written.value && run.options.writesTextSidecar) {
            auto sidecar = attempt([&] { return writeTextSidecar(inputs, run.output); });
            run.sidecarURL = sidecar.value;
            if (!sidecar.value) {
                run.sidecarError = sidecar.error;
            }
        }
        return written;
    }).then(this, [this, runRef, summary](const Attempt<bool>& written) mutable {
        if (runRef != run_) {
            return;
        }
        if (!written.value) {
            finish(Phase::failed(written.error));
            return;
        }
        summary.sidecarURL = runRef->sidecarURL;
        summary.sidecarError = runRef->sidecarError;
        finish(Phase::done(summary));
    });
}

void OCRPipeline::finish(const Phase& outcome) {
    run_->releaseFiles();
    run_.reset();
    setPhase(outcome);
    setRunning(false);
}

QString OCRPipeline::writeTextSidecar(const std::vector<TextLayerWriter::PageInput>& pages, const QString& output) {
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

    const QFileInfo info(output);
    const QString path = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".txt");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw PlatformError(file.errorString());
    }
    file.write(texts.join(QStringLiteral("\n\n")).toUtf8());
    if (!file.commit()) {
        throw PlatformError(file.errorString());
    }
    return path;
}

} // namespace quorvane

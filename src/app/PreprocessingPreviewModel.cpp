#include "app/PreprocessingPreviewModel.h"

#include "core/OCRError.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"
#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageTaskPool.h"
#include "platform/PdfDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QScopeGuard>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>
#include <numbers>

namespace quorvane {

namespace {

std::vector<OCRLine> linesOrNone(const Raster& raster, const OCROptions& options, const TextRecognizer& recognizer) {
    try {
        return recognizer.recognize(raster, options);
    } catch (...) {
        return {};
    }
}

} // namespace

PreprocessingPreviewModel::Processed
PreprocessingPreviewModel::process(const Raster& page, const Trial& trial, const OCROptions& options,
                                   const TextRecognizer& recognizer, const std::atomic<bool>& stop) {
    Processed result;
    result.raster = Preprocessor::apply(page, trial.strength);
    if (!trial.anyCorrection()) {
        return result;
    }
    result.detectionRan = true;
    // Each step recognises the page, for seconds: a preview closed meanwhile needs none of them.
    if (trial.autoRotate && !stop) {
        try {
            result.turns = PageOrientation::probe(result.raster, std::nullopt, options, recognizer);
        } catch (...) {
            result.turns = 0;
        }
        result.raster = PageOrientation::rotated(result.raster, result.turns);
    }
    if (trial.deskew && !stop) {
        const auto lines = linesOrNone(result.raster, options, recognizer);
        const double skew = PageDeskew::estimateAngle(lines, result.raster.cols, result.raster.rows);
        if (skew != 0) {
            if (auto straightened = PageDeskew::rotated(result.raster, -skew)) {
                result.raster = *straightened;
                result.deskewAngle = -skew;
            }
        }
    }
    if (trial.perspective && !stop) {
        const auto lines = linesOrNone(result.raster, options, recognizer);
        const double width = result.raster.cols;
        const double height = result.raster.rows;
        if (const auto params = PagePerspective::detect(lines, width, height)) {
            if (auto corrected = PagePerspective::apply(result.raster, *params, width, height)) {
                result.raster = *corrected;
                result.perspectiveApplied = true;
            }
        }
    }
    return result;
}

struct PreprocessingPreviewModel::Loaded {
    std::shared_ptr<PdfDocument> document;
    int imagePages = 0; // an image source's pages, converted one at a time as they are shown
    std::optional<QString> error;
};

struct PreprocessingPreviewModel::Work {
    int pageIndex = 0;
    std::optional<Raster> rendered; // when the page had to be rendered
    std::optional<Processed> processed;
    std::optional<QString> error;
};

PreprocessingPreviewModel::Loaded PreprocessingPreviewModel::openSource(const QString& source) {
    Loaded loaded;
    if (ImagePDFBuilder::isSupportedImage(source)) {
        try {
            loaded.imagePages = ImagePDFBuilder::pageCount(source);
        } catch (...) {
            loaded.error = imageFailedMessage;
        }
        return loaded;
    }
    std::unique_ptr<PdfDocument> document;
    try {
        document = PdfDocument::open(source);
    } catch (...) {
    }
    if (!document) {
        loaded.error = cannotOpenMessage;
    } else if (document->isLocked()) {
        loaded.error = passwordMessage;
    } else if (document->pageCount() <= 0) {
        loaded.error = noPagesMessage;
    } else {
        loaded.document = std::move(document);
    }
    return loaded;
}

// Page `index` of an image source as the pipeline would see it: converted alone to a temporary PDF
// (a long TIFF's other pages wait until they are shown), which goes once the page is rendered.
// Nothing when the preview closed meanwhile.
std::optional<Raster> PreprocessingPreviewModel::renderImagePage(const QString& source, int index,
                                                                 const std::atomic<bool>& closed) {
    const QString pdf = ImagePDFBuilder::makePDF(
        source, [&closed] { return closed.load(); }, index);
    if (pdf.isEmpty()) {
        return std::nullopt;
    }
    const auto removal = qScopeGuard([&pdf] { QFile::remove(pdf); });
    const auto document = PdfDocument::open(pdf);
    const auto page = document ? document->page(0) : std::nullopt;
    return page ? PDFPageRasterizer::render(*page, renderDPI) : std::nullopt;
}

PreprocessingPreviewModel::PreprocessingPreviewModel(QString sourceURL, const Trial& initial,
                                                     OCROptions recognitionOptions,
                                                     std::shared_ptr<const TextRecognizer> recognizer,
                                                     QObject* parent)
    : QObject(parent), m_sourceURL(std::move(sourceURL)), m_trial(initial),
      m_recognitionOptions(std::move(recognitionOptions)), m_recognizer(std::move(recognizer)),
      m_closedFlag(std::make_shared<std::atomic<bool>>(false)) {}

PreprocessingPreviewModel::~PreprocessingPreviewModel() { close(); }

QString PreprocessingPreviewModel::processedHeader() const {
    const QString title = QStringLiteral("After preprocessing");
    if (!m_applied.detectionRan) {
        return title;
    }
    QStringList parts;
    switch (m_applied.turns) {
    case 1: parts << QStringLiteral("rotated 90\u00b0 clockwise"); break;
    case 2: parts << QStringLiteral("rotated 180\u00b0"); break;
    case 3: parts << QStringLiteral("rotated 90\u00b0 counterclockwise"); break;
    default: break;
    }
    if (m_applied.deskewAngle != 0) {
        parts << QString::asprintf("deskewed %.1f\u00b0", std::abs(m_applied.deskewAngle) * 180 / std::numbers::pi);
    }
    if (m_applied.perspectiveApplied) {
        parts << QStringLiteral("perspective-corrected");
    }
    if (parts.isEmpty() && m_trial.anyCorrection()) {
        parts << QStringLiteral("already straight");
    }
    return parts.isEmpty() ? title : title + QStringLiteral(" \u00b7 ") + parts.join(QStringLiteral(", "));
}

QString PreprocessingPreviewModel::note() const {
    QStringList items;
    if (m_trial.autoRotate) {
        items << QStringLiteral("rotation");
    }
    if (m_trial.deskew) {
        items << QStringLiteral("deskew");
    }
    if (m_trial.perspective) {
        items << QStringLiteral("perspective warp");
    }
    if (items.isEmpty()) {
        return QStringLiteral("Preview only \u2014 preprocessing changes tones, never page geometry.");
    }
    return QStringLiteral("Preview \u2014 ") + items.join(QStringLiteral(", ")) +
           QStringLiteral(" may change page geometry; the invisible text layer moves with it.");
}

QString PreprocessingPreviewModel::pageLabel() const {
    return QStringLiteral("Page %1 of %2").arg(m_pageIndex + 1).arg(m_pageCount);
}

void PreprocessingPreviewModel::setTrial(const Trial& trial) {
    m_trial = trial;
    Q_EMIT trialChanged();
    startWork();
}

void PreprocessingPreviewModel::setStrength(PreprocessStrength strength) {
    if (strength != m_trial.strength) {
        setTrial({strength, m_trial.autoRotate, m_trial.deskew, m_trial.perspective});
    }
}

void PreprocessingPreviewModel::setAutoRotate(bool on) {
    if (on != m_trial.autoRotate) {
        setTrial({m_trial.strength, on, m_trial.deskew, m_trial.perspective});
    }
}

void PreprocessingPreviewModel::setDeskew(bool on) {
    if (on != m_trial.deskew) {
        setTrial({m_trial.strength, m_trial.autoRotate, on, m_trial.perspective});
    }
}

void PreprocessingPreviewModel::setPerspective(bool on) {
    if (on != m_trial.perspective) {
        setTrial({m_trial.strength, m_trial.autoRotate, m_trial.deskew, on});
    }
}

void PreprocessingPreviewModel::setLimitToRegion(bool on) {
    if (on != m_limitToRegion) {
        m_limitToRegion = on;
        Q_EMIT limitToRegionChanged();
    }
}

void PreprocessingPreviewModel::setRegion(const std::optional<Rect>& region) {
    if (region != m_region) {
        m_region = region;
        Q_EMIT regionChanged();
    }
}

void PreprocessingPreviewModel::drawRegion(const Rect& region) {
    if (region.width > minimumRegionSize && region.height > minimumRegionSize) {
        setRegion(region);
    }
}

void PreprocessingPreviewModel::setIsRendering(bool rendering) {
    if (rendering != m_isRendering) {
        m_isRendering = rendering;
        Q_EMIT isRenderingChanged(rendering);
    }
}

void PreprocessingPreviewModel::load() {
    if (m_closed || m_working || m_document || m_errorMessage) {
        return;
    }
    m_fileName = QFileInfo(m_sourceURL).fileName();
    Q_EMIT fileNameChanged();
    m_working = true;
    setIsRendering(true);
    QtConcurrent::run(documentTaskPool(), [source = m_sourceURL] {
        return openSource(source);
    }).then(this, [this](Loaded loaded) { finishLoading(std::move(loaded)); });
}

void PreprocessingPreviewModel::finishLoading(Loaded loaded) {
    m_working = false;
    if (m_closed) {
        return;
    }
    if (loaded.error) {
        showError(*loaded.error);
        return;
    }
    m_document = std::move(loaded.document);
    m_imagePages = loaded.imagePages;
    m_pageCount = m_document ? m_document->pageCount() : m_imagePages;
    Q_EMIT pageCountChanged();
    startWork();
}

void PreprocessingPreviewModel::changePage(int index) {
    const int pages = std::max(m_pageCount, 1);
    if (index < 0 || index >= pages || index == m_pageIndex) {
        return;
    }
    m_pageIndex = index;
    Q_EMIT pageIndexChanged();
    startWork();
}

void PreprocessingPreviewModel::startWork() {
    if (m_closed || (!m_document && m_imagePages == 0)) {
        return;
    }
    if (m_working) {
        m_workAgain = true;
        return;
    }
    m_working = true;
    setIsRendering(true);
    const int index = m_pageIndex;
    if (m_rawPageIndex == index) {
        startProcessing();
        return;
    }
    // The page is shown as soon as it is rendered: processing it may take many seconds more.
    auto render = [source = m_sourceURL, document = m_document, index, closed = m_closedFlag] {
        Work work;
        work.pageIndex = index;
        try {
            if (!document) {
                work.rendered = renderImagePage(source, index, *closed);
            } else if (const auto pdfPage = document->page(index)) {
                work.rendered = PDFPageRasterizer::render(*pdfPage, renderDPI);
            }
        } catch (const OCRError&) {
            if (!document) {
                work.error = imageFailedMessage; // as the pipeline would refuse the file
            }
        } catch (...) {
            // A page that cannot be rendered leaves its panes empty.
        }
        return work;
    };
    QtConcurrent::run(pageTaskPool(), render).then(this, [this](Work work) {
        finishRendering(std::move(work));
    });
}

void PreprocessingPreviewModel::finishRendering(Work work) {
    m_working = false;
    if (m_closed) {
        return;
    }
    if (work.error) {
        showError(*work.error);
        return;
    }
    if (work.pageIndex == m_pageIndex) {
        m_rawPageImage = work.rendered;
        m_rawPageIndex = m_pageIndex;
        m_originalImage = work.rendered;
        Q_EMIT originalImageChanged();
        // The last page's corrections must not stand beside this one.
        m_processedImage.reset();
        m_applied = {};
        Q_EMIT processedImageChanged();
    }
    m_workAgain = false;
    startWork(); // the page's processing, or the page shown meanwhile
}

void PreprocessingPreviewModel::startProcessing() {
    auto process = [index = m_pageIndex, page = m_rawPageImage, trial = m_trial,
                    options = m_recognitionOptions, recognizer = m_recognizer, closed = m_closedFlag] {
        Work work;
        work.pageIndex = index;
        try {
            if (page && !*closed) { // closed meanwhile: nobody waits for the page
                work.processed =
                    PreprocessingPreviewModel::process(*page, trial, options, *recognizer, *closed);
            }
        } catch (...) {
            // A page that cannot be processed leaves its pane empty.
        }
        return work;
    };
    QtConcurrent::run(pageTaskPool(), process).then(this, [this](Work work) { finishWork(std::move(work)); });
}

void PreprocessingPreviewModel::finishWork(Work work) {
    m_working = false;
    if (m_closed) {
        return;
    }
    if (std::exchange(m_workAgain, false)) {
        startWork(); // what was processed is out of date
        return;
    }
    m_processedImage = work.processed ? std::optional(work.processed->raster) : std::nullopt;
    m_applied = work.processed.value_or(Processed{});
    m_applied.raster.release();
    setIsRendering(false);
    Q_EMIT processedImageChanged();
}

void PreprocessingPreviewModel::showError(const QString& message) {
    m_errorMessage = message;
    setIsRendering(false);
    Q_EMIT errorMessageChanged();
}

void PreprocessingPreviewModel::close() {
    m_closed = true;
    *m_closedFlag = true; // stops converting an image page
    m_document.reset();
}

} // namespace quorvane

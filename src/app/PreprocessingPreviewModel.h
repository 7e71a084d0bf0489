#pragma once

// One page of a file as the cleaning and the corrections would leave it, tried before the file is
// processed: the page as rendered, the page after the strength and switches being tried, and what
// the corrections did to it. Nothing here changes a setting. Lives on the main thread; opening,
// rendering and processing run on the page threads, so the window never waits for them.

#include "core/Geometry.h"
#include "core/OCROptions.h"
#include "core/TextRecognizer.h"
#include "core/Raster.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

namespace quorvane {

class PdfDocument;

class PreprocessingPreviewModel : public QObject {
    Q_OBJECT

public:
    // Half the pipeline's resolution: plenty to judge a page by, and four times less to process.
    static constexpr double renderDPI = 150.0;
    // A drawn region smaller than this fraction of the page in either direction is a slip.
    static constexpr double minimumRegionSize = 0.01;

    static inline const QString imageFailedMessage = QStringLiteral("That image could not be opened for preview.");
    static inline const QString cannotOpenMessage =
        QStringLiteral("That file could not be opened. It may be corrupted.");
    static inline const QString passwordMessage =
        QStringLiteral("This PDF is password-protected. Start processing it from the main window \u2014 you can "
                       "preview after entering the password.");
    static inline const QString noPagesMessage = QStringLiteral("This file contains no pages.");

    // The cleaning strength and correction switches being tried.
    struct Trial {
        PreprocessStrength strength = PreprocessStrength::conservative;
        bool autoRotate = true;
        bool deskew = true;
        bool perspective = true;

        bool anyCorrection() const { return autoRotate || deskew || perspective; }
        // A job's options with this trial's cleaning and corrections.
        OCROptions appliedTo(OCROptions options) const {
            options.preprocessing = strength;
            options.autoRotate = autoRotate;
            options.deskew = deskew;
            options.perspective = perspective;
            return options;
        }
    };

    // A page after cleaning and the corrections of a trial, and what they did.
    struct Processed {
        Raster raster;
        bool detectionRan = false; // a correction step ran
        int turns = 0;             // clockwise quarter turns applied
        double deskewAngle = 0;    // radians applied, counter-clockwise positive
        bool perspectiveApplied = false;
    };

    // Cleans and corrects `page` as a trial asks, recognising with `options`. A recognition that
    // fails counts as a page that reads nothing, so it changes nothing. Once `stop` is set, no
    // further step starts and what is done so far comes back. Any thread.
    static Processed process(const Raster& page, const Trial& trial, const OCROptions& options,
                             const TextRecognizer& recognizer, const std::atomic<bool>& stop = false);

    // `recognitionOptions`: the job options every recognition of the preview uses.
    PreprocessingPreviewModel(QString sourceURL, const Trial& initial, OCROptions recognitionOptions,
                              std::shared_ptr<const TextRecognizer> recognizer, QObject* parent = nullptr);
    // Closes.
    ~PreprocessingPreviewModel() override;

    QString sourceURL() const { return m_sourceURL; }
    const Trial& trial() const { return m_trial; }
    bool limitToRegion() const { return m_limitToRegion; }
    const std::optional<Rect>& region() const { return m_region; }
    int pageIndex() const { return m_pageIndex; }
    int pageCount() const { return m_pageCount; }
    QString fileName() const { return m_fileName; }
    const std::optional<Raster>& originalImage() const { return m_originalImage; }
    const std::optional<Raster>& processedImage() const { return m_processedImage; }
    bool isRendering() const { return m_isRendering; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    int appliedTurns() const { return m_applied.turns; }
    double appliedDeskewAngle() const { return m_applied.deskewAngle; }
    bool appliedPerspective() const { return m_applied.perspectiveApplied; }
    bool detectionRan() const { return m_applied.detectionRan; }
    const OCROptions& recognitionOptions() const { return m_recognitionOptions; }

    // "After preprocessing", with what the corrections did: "After preprocessing · rotated 180°,
    // deskewed 2.0°".
    QString processedHeader() const;
    // What the switches being tried may do to the page.
    QString note() const;
    // "Page 2 of 5".
    QString pageLabel() const;

    // Each change of the trial processes the page shown again.
    void setStrength(PreprocessStrength strength);
    void setAutoRotate(bool on);
    void setDeskew(bool on);
    void setPerspective(bool on);
    void setLimitToRegion(bool on);
    void setRegion(const std::optional<Rect>& region);
    // A region the user drew replaces the earlier one unless it is a slip (minimumRegionSize).
    void drawRegion(const Rect& region);

    // Opens the file and shows its first page.
    void load();
    // Shows page `index` (0-based); nothing for a page the file does not have or the one shown.
    void changePage(int index);
    // Lets go of the file; work under way stops at its next step. Nothing happens after.
    void close();

Q_SIGNALS:
    void trialChanged();
    void limitToRegionChanged();
    void regionChanged();
    void pageIndexChanged();
    void pageCountChanged();
    void fileNameChanged();
    void originalImageChanged();
    void processedImageChanged(); // with what the corrections did
    void isRenderingChanged(bool isRendering);
    void errorMessageChanged();

private:
    struct Loaded;
    struct Work;

    static Loaded openSource(const QString& source);
    static std::optional<Raster> renderImagePage(const QString& source, int index,
                                                 const std::atomic<bool>& closed);
    void finishLoading(Loaded loaded);
    // Renders the page shown unless it is rendered already, then processes it. A request while
    // work is under way is taken up when that work ends, whose results are then out of date.
    void startWork();
    void finishRendering(Work work);
    void startProcessing();
    void finishWork(Work work);
    void setIsRendering(bool rendering);
    void showError(const QString& message);
    void setTrial(const Trial& trial);

    QString m_sourceURL;
    Trial m_trial;
    bool m_limitToRegion = false;
    std::optional<Rect> m_region;
    int m_pageIndex = 0;
    int m_pageCount = 0;
    QString m_fileName;
    std::optional<Raster> m_originalImage;
    std::optional<Raster> m_processedImage;
    bool m_isRendering = false;
    std::optional<QString> m_errorMessage;
    Processed m_applied; // its raster is not kept: m_processedImage is the one shown

    std::shared_ptr<PdfDocument> m_document; // a PDF source
    int m_imagePages = 0;                    // an image source
    std::optional<Raster> m_rawPageImage; // the page at m_rawPageIndex as rendered
    int m_rawPageIndex = -1;
    OCROptions m_recognitionOptions;
    std::shared_ptr<const TextRecognizer> m_recognizer;
    std::shared_ptr<std::atomic<bool>> m_closedFlag; // m_closed, for the page threads

    bool m_working = false;
    bool m_workAgain = false;
    bool m_closed = false;
};

} // namespace quorvane

#pragma once

// Shows the document pipeline's phase: the drop invitation when idle, a busy indicator or a
// progress bar while a document runs, the result lines with their actions when it is done, and
// the message when it failed.

#include "app/StatusIcons.h"
#include "pipeline/OCRPipeline.h"

#include <QColor>
#include <QWidget>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QGridLayout;

namespace quorvane {

class ElidedLabel;

class PhasePanel : public QWidget {
    Q_OBJECT

public:
    static inline const QString dropInvitation = QStringLiteral("Drop PDFs, images, or a folder here");
    static inline const QString firstPageHint = QStringLiteral(
        "The first page can take a few seconds while Tesseract loads its model \u2014 later pages are fast.");

    explicit PhasePanel(QWidget* parent = nullptr);

    // `fileName`: the document the phase belongs to.
    void show(const Phase& phase, const QString& fileName);

Q_SIGNALS:
    void showOutputRequested();
    void openSidecarRequested();
    void previewRequested();

private:
    QWidget* buildIdlePage();
    QWidget* buildProgressPage();
    QWidget* buildResultPage();
    void showResult(const Phase& phase);
    void addResultLine(const QString& text, std::optional<StatusIcons::Symbol> symbol = std::nullopt,
                       const QColor& colour = {});

    QStackedWidget* m_pages = nullptr;
    QWidget* m_idlePage = nullptr;
    QWidget* m_progressPage = nullptr;
    QWidget* m_resultPage = nullptr;

    ElidedLabel* m_progressFile = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressText = nullptr;
    QLabel* m_progressHint = nullptr;

    ElidedLabel* m_resultFile = nullptr;
    QGridLayout* m_resultLines = nullptr;
    QPushButton* m_showOutput = nullptr;
    QPushButton* m_openSidecar = nullptr;
};

} // namespace quorvane

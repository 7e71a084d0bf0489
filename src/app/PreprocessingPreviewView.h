#pragma once

// The preprocessing preview window: one page of a file before and after the cleaning and
// corrections being tried, the controls to try them, buttons that adopt the tried values for
// future jobs, the region the user drags out, and "Process this file now". It changes no setting
// itself: the decisions go to the actions the main window gives it.

#include "app/PreprocessingPreviewModel.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace quorvane {

class PreviewImagePane;

class PreprocessingPreviewView : public QDialog {
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Preprocessing preview");
    static inline const QString regionTooltip =
        QStringLiteral("OCR only the area you drag out on the right pane (M2-12).");
    static inline const QString regionHint = QStringLiteral("drag an area to OCR only it");

    // What the user's decisions do.
    struct Actions {
        std::function<void(PreprocessStrength)> makeDefault;
        std::function<void(bool)> setAutoRotate;
        std::function<void(bool)> setDeskew;
        std::function<void(bool)> setPerspective;
        // Process the file now as tried, limited to the region when there is one.
        std::function<void(std::optional<Rect>, const PreprocessingPreviewModel::Trial&)> processWithRegion;
    };

    // `initial`: the settings' current values, which the buttons for future jobs compare with.
    // Loads the file at once; closing the window closes the model.
    PreprocessingPreviewView(const QString& url, const PreprocessingPreviewModel::Trial& initial,
                             const OCROptions& recognitionOptions,
                             std::shared_ptr<const TextRecognizer> recognizer, Actions actions,
                             QWidget* parent = nullptr);

    PreprocessingPreviewModel& model() const { return *m_model; }
    PreviewImagePane& processedPane() const { return *m_processedPane; }

    // "Process this file now", "Process this file (region only)".
    QString processButtonText() const;
    // Closes the window, then hands the file on.
    void processNow();

protected:
    void done(int result) override;

private:
    QWidget* buildControls();
    QWidget* buildPanes();
    void showTrial();
    void showPages();
    void showImages();
    void showRegion();
    void showError();
    void showFutureJobButtons();

    PreprocessingPreviewModel* m_model = nullptr;
    PreprocessingPreviewModel::Trial m_initial;
    Actions m_actions;

    QLabel* m_working = nullptr;
    QStackedWidget* m_body = nullptr;
    QLabel* m_error = nullptr;
    QComboBox* m_strength = nullptr;
    QCheckBox* m_autoRotate = nullptr;
    QCheckBox* m_deskew = nullptr;
    QCheckBox* m_perspective = nullptr;
    QCheckBox* m_region = nullptr;
    QVBoxLayout* m_futureJobs = nullptr;
    PreviewImagePane* m_originalPane = nullptr;
    PreviewImagePane* m_processedPane = nullptr;
    QLabel* m_processedHeader = nullptr;
    QLabel* m_regionText = nullptr;
    QPushButton* m_clearRegion = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QLabel* m_pageLabel = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_process = nullptr;
};

} // namespace quorvane

#include "app/PreprocessingPreviewView.h"

#include "app/ElidedLabel.h"
#include "app/PreviewImagePane.h"
#include "app/StatusIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

void greyed(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x55, 0x55, 0x55));
    label->setPalette(palette);
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    greyed(label);
    return label;
}

QLabel* bold(const QString& text, QWidget* parent, double scale = 1.0) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

QLabel* symbol(StatusIcons::Symbol symbol, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(StatusIcons::pixmap(symbol, 16, parent->devicePixelRatioF()));
    label->setAlignment(Qt::AlignTop);
    return label;
}

QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

} // namespace

PreprocessingPreviewView::PreprocessingPreviewView(const QString& url, const PreprocessingPreviewModel::Trial& initial,
                                                   const OCROptions& recognitionOptions,
                                                   std::shared_ptr<const TextRecognizer> recognizer,
                                                   Actions actions, QWidget* parent)
    : QDialog(parent), m_initial(initial), m_actions(std::move(actions)) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    m_model = new PreprocessingPreviewModel(url, initial, recognitionOptions, std::move(recognizer), this);

    m_working = caption(QStringLiteral("Working\u2026"), this);
    m_working->setObjectName(QStringLiteral("previewWorking"));
    auto* header = new QHBoxLayout;
    header->addWidget(bold(title, this, 1.2));
    auto* fileName = new ElidedLabel(this);
    greyed(fileName);
    fileName->setObjectName(QStringLiteral("previewFileName"));
    header->addWidget(fileName, 1);
    header->addWidget(m_working);

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("previewError"));
    m_error->setWordWrap(true);
    auto* errorPage = new QWidget(this);
    auto* errorLayout = new QHBoxLayout(errorPage);
    errorLayout->addStretch();
    errorLayout->addWidget(symbol(StatusIcons::Symbol::warning, errorPage));
    errorLayout->addWidget(m_error, 3);
    errorLayout->addStretch();

    auto* panesPage = new QWidget(this);
    auto* panesLayout = new QHBoxLayout(panesPage);
    panesLayout->setContentsMargins(0, 0, 0, 0);
    panesLayout->addWidget(buildControls());
    panesLayout->addWidget(buildPanes(), 1);
    m_body = new QStackedWidget(this);
    m_body->addWidget(panesPage);
    m_body->addWidget(errorPage);

    m_process = new QPushButton(this);
    m_process->setObjectName(QStringLiteral("processNow"));
    m_process->setIcon(QIcon(StatusIcons::pixmap(StatusIcons::Symbol::play, 16, devicePixelRatioF())));
    m_process->setDefault(true);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    auto* footer = new QHBoxLayout;
    footer->addWidget(closeButton);
    footer->addStretch();
    footer->addWidget(m_process);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_body, 1);
    layout->addLayout(footer);
    resize(980, 720);

    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_process, &QPushButton::clicked, this, &PreprocessingPreviewView::processNow);
    connect(m_model, &PreprocessingPreviewModel::fileNameChanged, this,
            [this, fileName] { fileName->setFullText(m_model->fileName()); });
    connect(m_model, &PreprocessingPreviewModel::isRenderingChanged, m_working, &QWidget::setVisible);
    connect(m_model, &PreprocessingPreviewModel::errorMessageChanged, this, &PreprocessingPreviewView::showError);
    connect(m_model, &PreprocessingPreviewModel::trialChanged, this, &PreprocessingPreviewView::showTrial);
    connect(m_model, &PreprocessingPreviewModel::pageIndexChanged, this, &PreprocessingPreviewView::showPages);
    connect(m_model, &PreprocessingPreviewModel::pageCountChanged, this, &PreprocessingPreviewView::showPages);
    connect(m_model, &PreprocessingPreviewModel::originalImageChanged, this, &PreprocessingPreviewView::showImages);
    connect(m_model, &PreprocessingPreviewModel::processedImageChanged, this, &PreprocessingPreviewView::showImages);
    connect(m_model, &PreprocessingPreviewModel::limitToRegionChanged, this, &PreprocessingPreviewView::showRegion);
    connect(m_model, &PreprocessingPreviewModel::regionChanged, this, &PreprocessingPreviewView::showRegion);
    showTrial();
    showPages();
    showImages();
    showRegion();
    m_working->hide();
    m_model->load();
}

QWidget* PreprocessingPreviewView::buildControls() {
    auto* controls = new QWidget(this);
    controls->setFixedWidth(250);
    m_strength = new QComboBox(controls);
    m_strength->setObjectName(QStringLiteral("previewStrength"));
    for (const auto strength : allPreprocessStrengths) {
        m_strength->addItem(displayName(strength), static_cast<int>(strength));
    }
    m_autoRotate = new QCheckBox(QStringLiteral("Auto-rotate"), controls);
    m_deskew = new QCheckBox(QStringLiteral("Deskew"), controls);
    m_perspective = new QCheckBox(QStringLiteral("Perspective"), controls);
    m_region = new QCheckBox(QStringLiteral("Region"), controls);
    m_region->setObjectName(QStringLiteral("previewRegion"));
    m_region->setToolTip(regionTooltip);

    m_futureJobs = new QVBoxLayout;
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->addWidget(new QLabel(QStringLiteral("Strength"), controls));
    layout->addWidget(m_strength);
    layout->addWidget(m_autoRotate);
    layout->addWidget(m_deskew);
    layout->addWidget(m_perspective);
    layout->addSpacing(8);
    layout->addWidget(m_region);
    layout->addSpacing(12);
    layout->addLayout(m_futureJobs);
    layout->addStretch();

    connect(m_strength, &QComboBox::activated, this, [this](int index) {
        m_model->setStrength(static_cast<PreprocessStrength>(m_strength->itemData(index).toInt()));
    });
    connect(m_autoRotate, &QCheckBox::toggled, m_model, &PreprocessingPreviewModel::setAutoRotate);
    connect(m_deskew, &QCheckBox::toggled, m_model, &PreprocessingPreviewModel::setDeskew);
    connect(m_perspective, &QCheckBox::toggled, m_model, &PreprocessingPreviewModel::setPerspective);
    connect(m_region, &QCheckBox::toggled, m_model, &PreprocessingPreviewModel::setLimitToRegion);
    return controls;
}

QWidget* PreprocessingPreviewView::buildPanes() {
    auto* panes = new QWidget(this);
    m_originalPane = new PreviewImagePane(panes);
    m_originalPane->setObjectName(QStringLiteral("originalPane"));
    m_processedPane = new PreviewImagePane(panes);
    m_processedPane->setObjectName(QStringLiteral("processedPane"));
    m_processedHeader = bold({}, panes);
    m_processedHeader->setObjectName(QStringLiteral("processedHeader"));
    m_processedHeader->setWordWrap(true); // the two panes keep the same width
    m_regionText = caption({}, panes);
    m_regionText->setObjectName(QStringLiteral("regionText"));
    m_clearRegion = new QPushButton(QStringLiteral("Clear"), panes);

    m_previous = new QPushButton(QStringLiteral("\u2039"), panes);
    m_previous->setObjectName(QStringLiteral("previousPage"));
    m_previous->setToolTip(QStringLiteral("Previous page"));
    m_previous->setAccessibleName(m_previous->toolTip()); // a screen reader would say the arrow's name
    m_next = new QPushButton(QStringLiteral("\u203a"), panes);
    m_next->setObjectName(QStringLiteral("nextPage"));
    m_next->setToolTip(QStringLiteral("Next page"));
    m_next->setAccessibleName(m_next->toolTip());
    for (auto* button : {m_previous, m_next}) {
        button->setFixedWidth(36);
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.5);
        button->setFont(font);
    }
    m_pageLabel = new QLabel(panes);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_pageLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_note = caption({}, panes);
    m_note->setObjectName(QStringLiteral("previewNote"));

    auto* grid = new QGridLayout;
    grid->addWidget(bold(QStringLiteral("Original"), panes), 0, 0);
    grid->addWidget(m_processedHeader, 0, 1);
    grid->addWidget(m_originalPane, 1, 0);
    grid->addWidget(m_processedPane, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    auto* regionRow = new QHBoxLayout;
    regionRow->addStretch();
    regionRow->addWidget(m_regionText);
    regionRow->addWidget(m_clearRegion);
    grid->addLayout(regionRow, 2, 1);

    auto* pages = new QHBoxLayout;
    pages->addStretch();
    pages->addWidget(m_previous);
    pages->addWidget(m_pageLabel);
    pages->addWidget(m_next);
    pages->addStretch();
    auto* note = new QHBoxLayout;
    note->addWidget(symbol(StatusIcons::Symbol::eye, panes));
    note->addWidget(m_note, 1);

    auto* layout = new QVBoxLayout(panes);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(grid, 1);
    layout->addLayout(pages);
    layout->addLayout(note);

    connect(m_previous, &QPushButton::clicked, this, [this] { m_model->changePage(m_model->pageIndex() - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { m_model->changePage(m_model->pageIndex() + 1); });
    connect(m_clearRegion, &QPushButton::clicked, this, [this] { m_model->setRegion(std::nullopt); });
    connect(m_processedPane, &PreviewImagePane::regionDrawn, m_model, &PreprocessingPreviewModel::drawRegion);
    return panes;
}

QString PreprocessingPreviewView::processButtonText() const {
    return m_model->limitToRegion() && m_model->region() ? QStringLiteral("Process this file (region only)")
                                                         : QStringLiteral("Process this file now");
}

void PreprocessingPreviewView::processNow() {
    const auto region = m_model->limitToRegion() ? m_model->region() : std::nullopt;
    const auto trial = m_model->trial();
    auto process = m_actions.processWithRegion;
    accept();
    if (process) {
        process(region, trial);
    }
}

void PreprocessingPreviewView::done(int result) {
    m_model->close();
    QDialog::done(result);
}

void PreprocessingPreviewView::showTrial() {
    const auto& trial = m_model->trial();
    m_strength->setCurrentIndex(m_strength->findData(static_cast<int>(trial.strength)));
    const QSignalBlocker blockRotate(m_autoRotate), blockDeskew(m_deskew), blockPerspective(m_perspective);
    m_autoRotate->setChecked(trial.autoRotate);
    m_deskew->setChecked(trial.deskew);
    m_perspective->setChecked(trial.perspective);
    m_note->setText(m_model->note());
    showFutureJobButtons();
}

// A link for each tried value that differs from the settings.
void PreprocessingPreviewView::showFutureJobButtons() {
    // A link may be the one being clicked: it goes once its click is over.
    while (QLayoutItem* item = m_futureJobs->takeAt(0)) {
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    const auto& trial = m_model->trial();
    // Links in caption style: the longest ("Use “Conservative (recommended)” for future jobs")
    // wraps in the controls' width where a button would cut it off.
    const auto add = [this](const QString& text, std::function<void()> action) {
        auto* link = new QLabel(QStringLiteral("<a href=\"adopt\">%1</a>").arg(text.toHtmlEscaped()), this);
        link->setWordWrap(true);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        QFont font = link->font();
        font.setPointSizeF(font.pointSizeF() * 0.92);
        link->setFont(font);
        connect(link, &QLabel::linkActivated, this, [this, action = std::move(action)] {
            action();
            showFutureJobButtons();
        });
        m_futureJobs->addWidget(link);
    };
    if (trial.strength != m_initial.strength) {
        add(QStringLiteral("Use \u201c%1\u201d for future jobs").arg(displayName(trial.strength)), [this, trial] {
            m_initial.strength = trial.strength;
            if (m_actions.makeDefault) {
                m_actions.makeDefault(trial.strength);
            }
        });
    }
    const auto addSwitch = [&](const QString& name, bool tried, bool& initial, const std::function<void(bool)>& adopt) {
        if (tried != initial) {
            add(QStringLiteral("Turn %1 %2 for future jobs").arg(name, onOff(tried)), [&initial, tried, adopt] {
                initial = tried;
                if (adopt) {
                    adopt(tried);
                }
            });
        }
    };
    addSwitch(QStringLiteral("auto-rotate"), trial.autoRotate, m_initial.autoRotate, m_actions.setAutoRotate);
    addSwitch(QStringLiteral("deskew"), trial.deskew, m_initial.deskew, m_actions.setDeskew);
    addSwitch(QStringLiteral("perspective"), trial.perspective, m_initial.perspective, m_actions.setPerspective);
}

void PreprocessingPreviewView::showPages() {
    m_pageLabel->setText(m_model->pageLabel());
    m_previous->setEnabled(m_model->pageIndex() > 0);
    m_next->setEnabled(m_model->pageIndex() + 1 < m_model->pageCount());
}

void PreprocessingPreviewView::showImages() {
    m_originalPane->setImage(m_model->originalImage());
    m_processedPane->setImage(m_model->processedImage());
    m_processedHeader->setText(m_model->processedHeader());
}

void PreprocessingPreviewView::showRegion() {
    const bool limiting = m_model->limitToRegion();
    const auto& region = m_model->region();
    m_processedPane->setDrawingEnabled(limiting);
    m_processedPane->setRegion(region);
    m_regionText->setVisible(limiting);
    m_clearRegion->setVisible(limiting && region);
    m_regionText->setText(region ? QString::asprintf("region %.0f%%\u00d7%.0f%%", region->width * 100, region->height * 100)
                                 : regionHint);
    m_process->setText(processButtonText());
}

void PreprocessingPreviewView::showError() {
    const auto& message = m_model->errorMessage();
    m_error->setText(message.value_or(QString()));
    m_body->setCurrentIndex(message ? 1 : 0);
    m_process->setEnabled(!message);
}

} // namespace quorvane

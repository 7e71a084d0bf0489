#include "app/PhasePanel.h"

#include "app/AppIcon.h"
#include "app/ElidedLabel.h"
#include "app/StatusIcons.h"
#include "pipeline/ResultLines.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

// Result lines wrap at this width, and the progress bar has it.
constexpr int resultWidth = 440;

QLabel* wrappingLabel(QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void dim(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
}

// A file name has no spaces to wrap at, often enough: a long one loses its middle instead.
ElidedLabel* fileLabel(QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    label->setFont(font);
    return label;
}

} // namespace

PhasePanel::PhasePanel(QWidget* parent) : QWidget(parent) {
    m_pages = new QStackedWidget(this);
    m_idlePage = buildIdlePage();
    m_progressPage = buildProgressPage();
    m_resultPage = buildResultPage();
    m_pages->addWidget(m_idlePage);
    m_pages->addWidget(m_progressPage);
    m_pages->addWidget(m_resultPage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
    show(Phase::idle(), {});
}

QWidget* PhasePanel::buildIdlePage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* icon = new QLabel(page);
    icon->setPixmap(appIcon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignHCenter);
    auto* invitation = wrappingLabel(page, Qt::AlignHCenter);
    invitation->setObjectName(QStringLiteral("dropInvitation"));
    invitation->setText(dropInvitation);
    QFont font = invitation->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    invitation->setFont(font);
    auto* preview = new QPushButton(QStringLiteral("Preview…"), page);
    preview->setObjectName(QStringLiteral("previewButton"));
    preview->setToolTip(QStringLiteral("Try the cleaning and corrections on one page of a file before processing it."));
    connect(preview, &QPushButton::clicked, this, &PhasePanel::previewRequested);
    layout->addStretch();
    layout->addWidget(icon);
    layout->addSpacing(12);
    layout->addWidget(invitation);
    layout->addSpacing(8);
    layout->addWidget(preview, 0, Qt::AlignHCenter);
    layout->addStretch();
    return page;
}

QWidget* PhasePanel::buildProgressPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_progressFile = fileLabel(page);
    m_progressBar = new QProgressBar(page);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedWidth(resultWidth);
    m_progressText = wrappingLabel(page, Qt::AlignHCenter);
    m_progressText->setObjectName(QStringLiteral("progressText"));
    m_progressHint = wrappingLabel(page, Qt::AlignHCenter);
    m_progressHint->setObjectName(QStringLiteral("progressHint"));
    dim(m_progressHint);
    layout->addStretch();
    layout->addWidget(m_progressFile);
    layout->addSpacing(8);
    layout->addWidget(m_progressBar, 0, Qt::AlignHCenter);
    layout->addWidget(m_progressText);
    layout->addWidget(m_progressHint);
    layout->addStretch();
    return page;
}

QWidget* PhasePanel::buildResultPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_resultFile = fileLabel(page);
    m_resultFile->setObjectName(QStringLiteral("resultFile"));
    auto* lines = new QWidget(page);
    lines->setObjectName(QStringLiteral("resultLines"));
    lines->setFixedWidth(resultWidth);
    m_resultLines = new QGridLayout(lines);
    m_resultLines->setContentsMargins(0, 0, 0, 0);
    m_resultLines->setColumnStretch(1, 1);
    m_showOutput = new QPushButton(QStringLiteral("Show in file manager"), page);
    m_openSidecar = new QPushButton(QStringLiteral("Open .txt"), page);
    connect(m_showOutput, &QPushButton::clicked, this, &PhasePanel::showOutputRequested);
    connect(m_openSidecar, &QPushButton::clicked, this, &PhasePanel::openSidecarRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_showOutput);
    buttons->addWidget(m_openSidecar);
    buttons->addStretch();
    layout->addStretch();
    layout->addWidget(m_resultFile);
    layout->addSpacing(8);
    // Centred by stretches: an aligned widget would not get the height its wrapped lines need.
    auto* centred = new QHBoxLayout;
    centred->addStretch();
    centred->addWidget(lines);
    centred->addStretch();
    layout->addLayout(centred);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addStretch();
    return page;
}

void PhasePanel::show(const Phase& phase, const QString& fileName) {
    switch (phase.kind) {
    case Phase::Kind::idle: m_pages->setCurrentWidget(m_idlePage); return;
    case Phase::Kind::preparing:
    case Phase::Kind::writing:
        m_progressBar->setRange(0, 0); // a busy indicator
        m_progressHint->hide();
        break;
    case Phase::Kind::recognizing:
        m_progressBar->setRange(0, std::max(phase.totalPages, 1));
        m_progressBar->setValue(phase.currentPage);
        m_progressHint->setText(firstPageHint);
        m_progressHint->setVisible(phase.currentPage < 2);
        break;
    case Phase::Kind::done:
    case Phase::Kind::failed:
        m_resultFile->setFullText(fileName);
        showResult(phase);
        m_pages->setCurrentWidget(m_resultPage);
        return;
    }
    m_progressFile->setFullText(fileName);
    m_progressText->setText(phase.progressText());
    m_pages->setCurrentWidget(m_progressPage);
}

void PhasePanel::addResultLine(const QString& text, std::optional<StatusIcons::Symbol> symbol, const QColor& colour) {
    QWidget* parent = m_resultLines->parentWidget();
    const int row = m_resultLines->rowCount();
    if (symbol) {
        auto* icon = new QLabel(parent);
        icon->setPixmap(StatusIcons::pixmap(*symbol, 18, devicePixelRatioF()));
        m_resultLines->addWidget(icon, row, 0, Qt::AlignTop);
    }
    auto* label = wrappingLabel(parent);
    label->setText(text);
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    m_resultLines->addWidget(label, row, 1);
}

void PhasePanel::showResult(const Phase& phase) {
    while (QLayoutItem* item = m_resultLines->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (phase.kind == Phase::Kind::failed) {
        addResultLine(phase.message, StatusIcons::Symbol::failure);
        m_showOutput->hide();
        m_openSidecar->hide();
        return;
    }
    const DocumentSummary& summary = phase.summary;
    const QStringList lines = ResultLines::lines(summary);
    for (int index = 0; index < lines.size(); ++index) {
        if (index > 0) {
            addResultLine(lines[index]);
        } else if (summary.processedPages == 0) {
            addResultLine(lines[index], StatusIcons::Symbol::sealed);
        } else {
            addResultLine(lines[index], StatusIcons::Symbol::checkmark, QColor(0x1f, 0x8a, 0x38));
        }
    }
    m_showOutput->setVisible(summary.outputURL.has_value());
    m_openSidecar->setVisible(summary.sidecarURL.has_value());
}

} // namespace quorvane

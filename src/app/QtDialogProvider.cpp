#include "app/QtDialogProvider.h"

#include "app/PasswordDialog.h"
#include "pipeline/ImagePDFBuilder.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

namespace quorvane {

namespace {

QString inputFilter() {
    QStringList patterns{QStringLiteral("*.pdf")};
    for (const auto& extension : ImagePDFBuilder::supportedExtensions()) {
        patterns.append(QStringLiteral("*.") + extension);
    }
    return QStringLiteral("PDFs and images (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

QString reportFilter(ReportExporter::Format format) {
    return QStringLiteral("%1 (*.%2)").arg(ReportExporter::title(format), ReportExporter::fileExtension(format));
}

} // namespace

QStringList QtDialogProvider::chooseInputs(InputKind kind) {
    if (m_lastFolder.isEmpty()) {
        m_lastFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    QStringList chosen;
    if (kind == InputKind::folder) {
        const QString folder = QFileDialog::getExistingDirectory(m_window, QStringLiteral("Open Folder"), m_lastFolder);
        if (!folder.isEmpty()) {
            chosen.append(folder);
            m_lastFolder = folder;
        }
    } else {
        chosen = QFileDialog::getOpenFileNames(m_window, QStringLiteral("Open"), m_lastFolder, inputFilter());
        if (!chosen.isEmpty()) {
            m_lastFolder = QFileInfo(chosen.first()).absolutePath();
        }
    }
    return chosen;
}

std::optional<QString> QtDialogProvider::chooseSaveLocation(const QString& folder, const QString& proposedName,
                                                            const QString& message) {
    // Qt's own dialog, because the desktop's dialogs have no place for the message.
    QFileDialog dialog(m_window, QStringLiteral("Save Searchable Copy"), folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(proposedName);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* label = new QLabel(message, &dialog);
        label->setWordWrap(true);
        grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<DialogProvider::ReportDestination> QtDialogProvider::chooseReportDestination() {
    using ReportExporter::Format;
    QFileDialog dialog(m_window, QStringLiteral("Export Report"), m_lastFolder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const Format format : ReportExporter::allFormats) {
        filters.append(reportFilter(format));
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(ReportExporter::fileExtension(Format::csv));
    dialog.selectFile(ReportExporter::defaultFileName(Format::csv));
    // Picking the other format also changes the name's extension (Qt's dialog does that for a
    // name that has one; a name without one gets the default suffix).
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& filter) {
        const auto format = filters.indexOf(filter) == 1 ? Format::json : Format::csv;
        dialog.setDefaultSuffix(ReportExporter::fileExtension(format));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const auto format = filters.indexOf(dialog.selectedNameFilter()) == 1 ? Format::json : Format::csv;
    return ReportDestination{dialog.selectedFiles().first(), format};
}

void QtDialogProvider::askPassword(PasswordPrompt& prompt) {
    auto* dialog = new PasswordDialog(prompt, m_window);
    dialog->open();
}

namespace {

void showMessage(QMessageBox::Icon icon, const QString& title, const QString& message, QWidget* window) {
    auto* box = new QMessageBox(icon, title, title, QMessageBox::Ok, window);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

} // namespace

void QtDialogProvider::showAlert(const QString& title, const QString& message) {
    showMessage(QMessageBox::Warning, title, message, m_window);
}

void QtDialogProvider::showInformation(const QString& title, const QString& message) {
    showMessage(QMessageBox::Information, title, message, m_window);
}

bool QtDialogProvider::confirm(const QString& title, const QString& message, const QString& acceptLabel) {
    QMessageBox box(QMessageBox::Question, title, title, QMessageBox::NoButton, m_window);
    box.setInformativeText(message);
    QPushButton* accept = box.addButton(acceptLabel, QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == accept;
}

void QtDialogProvider::offerUpdate(const QString& title, const QString& message, std::function<void()> download) {
    auto* box = new QMessageBox(QMessageBox::Information, title, title, QMessageBox::NoButton, m_window);
    box->setInformativeText(message);
    QPushButton* downloadButton = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box->setDefaultButton(downloadButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [downloadButton, download](QAbstractButton* button) {
        if (button == downloadButton && download) {
            download();
        }
    });
    box->open();
}

} // namespace quorvane

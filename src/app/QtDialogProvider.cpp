#include "app/QtDialogProvider.h"

#include "app/PasswordDialog.h"
#include "pipeline/ImagePDFBuilder.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

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

// Qt's own dialog, because the desktop's dialogs have no place for a message.
void addMessage(QFileDialog& dialog, const QString& message) {
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* label = new QLabel(message, &dialog);
        label->setWordWrap(true);
        grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
}

} // namespace

QWidget* QtDialogProvider::parentWindow() const {
    QWidget* active = QApplication::activeWindow();
    return active ? active : m_window.data();
}

// The folder of the last choice while it is there, else Documents, else home. Given a folder that
// does not exist, Qt's dialog opens its parent with the folder's name typed in as a file name.
QString QtDialogProvider::startFolder() const {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    for (const QString& folder : {m_lastFolder, documents}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
            return folder;
        }
    }
    return QDir::homePath();
}

QStringList QtDialogProvider::chooseInputs(InputKind kind) {
    QStringList chosen;
    if (kind == InputKind::folder) {
        const QString folder =
            QFileDialog::getExistingDirectory(parentWindow(), QStringLiteral("Open Folder"), startFolder());
        if (!folder.isEmpty()) {
            chosen.append(folder);
            m_lastFolder = folder;
        }
    } else if (kind == InputKind::fileToPreview) {
        const QString file = QFileDialog::getOpenFileName(parentWindow(), QStringLiteral("Preview"),
                                                          startFolder(), inputFilter());
        if (!file.isEmpty()) {
            chosen.append(file);
            m_lastFolder = QFileInfo(file).absolutePath();
        }
    } else {
        chosen = QFileDialog::getOpenFileNames(parentWindow(), QStringLiteral("Open"), startFolder(),
                                               inputFilter());
        if (!chosen.isEmpty()) {
            m_lastFolder = QFileInfo(chosen.first()).absolutePath();
        }
    }
    return chosen;
}

std::optional<QString> QtDialogProvider::chooseSaveLocation(const QString& folder, const QString& proposedName,
                                                            const QString& message) {
    QFileDialog dialog(parentWindow(), QStringLiteral("Save Searchable Copy"), folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(proposedName);
    addMessage(dialog, message);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogProvider::chooseFileToOpen(const QString& title, const QString& nameFilter) {
    const QString file = QFileDialog::getOpenFileName(parentWindow(), title, startFolder(), nameFilter);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    m_lastFolder = QFileInfo(file).absolutePath();
    return file;
}

std::optional<QString> QtDialogProvider::chooseFileToSave(const QString& title, const QString& proposedName,
                                                          const QString& nameFilter) {
    QFileDialog dialog(parentWindow(), title, startFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(nameFilter);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogProvider::chooseFolder(const QString& acceptLabel, const QString& message) {
    QFileDialog dialog(parentWindow(), acceptLabel, startFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, acceptLabel);
    addMessage(dialog, message);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<DialogProvider::ReportDestination> QtDialogProvider::chooseReportDestination() {
    using ReportExporter::Format;
    QFileDialog dialog(parentWindow(), QStringLiteral("Export Report"), startFolder());
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
    auto* dialog = new PasswordDialog(prompt, parentWindow());
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
    showMessage(QMessageBox::Warning, title, message, parentWindow());
}

void QtDialogProvider::showInformation(const QString& title, const QString& message) {
    showMessage(QMessageBox::Information, title, message, parentWindow());
}

bool QtDialogProvider::confirm(const QString& title, const QString& message, const QString& acceptLabel,
                               const QString& rejectLabel) {
    QMessageBox box(QMessageBox::Question, title, title, QMessageBox::NoButton, parentWindow());
    box.setInformativeText(message);
    QPushButton* accept = box.addButton(acceptLabel, QMessageBox::AcceptRole);
    QPushButton* reject = box.addButton(rejectLabel, QMessageBox::RejectRole);
    box.setDefaultButton(reject);
    box.setEscapeButton(reject);
    box.exec();
    return box.clickedButton() == accept;
}

std::optional<QString> QtDialogProvider::askText(const QString& title, const QString& message,
                                                 const QString& fieldLabel, const QString& text,
                                                 const QString& acceptLabel) {
    QDialog dialog(parentWindow());
    dialog.setWindowTitle(title);
    auto* heading = new QLabel(title, &dialog);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    auto* field = new QLineEdit(text, &dialog);
    field->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    buttons->addButton(acceptLabel, QDialogButtonBox::AcceptRole)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(fieldLabel, field);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(message, &dialog));
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(380);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return field->text();
}

void QtDialogProvider::offerUpdate(const QString& title, const QString& message, std::function<void()> download) {
    auto* box = new QMessageBox(QMessageBox::Information, title, title, QMessageBox::NoButton, parentWindow());
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

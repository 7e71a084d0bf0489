#include "app/SettingsView.h"

#include "app/AppIcon.h"
#include "app/DialogProvider.h"
#include "app/LanguageChecklist.h"
#include "app/MenuBarController.h"
#include "app/PresetsSection.h"
#include "app/SettingRow.h"
#include "app/WatchFolderSection.h"
#include "core/CustomWordList.h"
#include "settings/AppSettings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace quorvane {

namespace {

constexpr SettingsSection tableSections[] = {SettingsSection::recognition,   SettingsSection::vocabulary,
                                             SettingsSection::preprocessing, SettingsSection::output,
                                             SettingsSection::notifications, SettingsSection::systemTray};

} // namespace

SettingsView::SettingsView(AppSettings& settings, FolderWatcher& watcher, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_settings(settings), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(title);
    setWindowIcon(appIcon());

    auto* form = new QWidget;
    auto* layout = new QVBoxLayout(form);
    layout->setSpacing(12);
    layout->addWidget(section(QStringLiteral("Presets"), new PresetsSection(settings, dialogs, form)));
    layout->addWidget(section(QStringLiteral("Watch Folder"), new WatchFolderSection(watcher, dialogs, form)));
    for (const auto tableSection : tableSections) {
        auto* rows = new QWidget(form);
        auto* rowsLayout = new QVBoxLayout(rows);
        rowsLayout->setContentsMargins(0, 0, 0, 0);
        for (const auto& row : settingsTable()) {
            if (row.section != tableSection) {
                continue;
            }
            if (row.setting == Setting::languages) {
                rowsLayout->addWidget(new LanguageChecklist(settings, rows));
            } else {
                auto* control = new SettingRow(settings, row.setting, rows);
                if (row.setting == Setting::menuBarOnly) {
                    control->addMnemonic(); // reached for when leaving the window: Alt+K
                }
                rowsLayout->addWidget(control);
            }
        }
        if (tableSection == SettingsSection::vocabulary) {
            rowsLayout->addWidget(vocabularyActions());
        }
        if (tableSection == SettingsSection::systemTray && !MenuBarController::isAvailable()) {
            rowsLayout->addWidget(SettingRow::helpLabel(
                QStringLiteral("This desktop shows no system tray, so closing the window quits Quorvane."), rows));
        }
        layout->addWidget(section(sectionTitle(tableSection), rows));
    }
    layout->addWidget(section(QStringLiteral("Privacy & Legal"), privacy()));
    layout->addStretch();

    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(form);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // Every change is stored at once, so a settings file that cannot be written is said at the top
    // for as long as it lasts: otherwise the changes would be gone at the next start.
    auto* storeError = new QLabel(this);
    storeError->setObjectName(QStringLiteral("storeError"));
    storeError->setWordWrap(true);
    storeError->setContentsMargins(12, 8, 12, 0);
    storeError->setStyleSheet(QStringLiteral("color: #c02020;"));
    const auto showStoreError = [storeError, &settings] {
        storeError->setText(settings.storeError().value_or(QString()));
        storeError->setVisible(settings.storeError().has_value());
    };
    showStoreError();
    connect(&settings, &AppSettings::storeErrorChanged, storeError, showStoreError);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(storeError);
    outer->addWidget(m_scroll);
    resize(640, 760);

    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

QWidget* SettingsView::section(const QString& title, QWidget* content) {
    auto* box = new QGroupBox(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
    box->setObjectName(title);
    QFont font = box->font();
    font.setBold(true);
    box->setFont(font);
    // The box's title is bold; what it holds is not.
    QFont contentFont = content->font();
    contentFont.setBold(false);
    content->setFont(contentFont);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

QWidget* SettingsView::vocabularyActions() {
    auto* actions = new QWidget;
    auto* importButton = new QPushButton(QStringLiteral("Import\u2026"), actions);
    auto* exportButton = new QPushButton(QStringLiteral("Export\u2026"), actions);
    exportButton->setToolTip(QStringLiteral("Save the words to a text file, one a line."));
    m_wordCount = new QLabel(actions);
    m_wordCount->setObjectName(QStringLiteral("wordCount"));
    auto* layout = new QHBoxLayout(actions);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_wordCount, 1);
    layout->addWidget(importButton);
    layout->addWidget(exportButton);
    connect(importButton, &QPushButton::clicked, this, &SettingsView::importWordList);
    connect(exportButton, &QPushButton::clicked, this, &SettingsView::exportWordList);
    connect(&m_settings, &AppSettings::settingChanged, this, [this](Setting changed) {
        if (changed == Setting::customWordsText) {
            showWordCount();
        }
    });
    showWordCount();
    return actions;
}

QWidget* SettingsView::privacy() {
    auto* content = new QWidget;
    auto* text = new QLabel(
        QStringLiteral("Quorvane runs entirely on this computer. Nothing you process is uploaded, sent to a server, or "
                       "shared. Tesseract recognition, preprocessing and PDF writing all happen locally. The only "
                       "connection Quorvane makes is the update check, which downloads the list of releases and sends "
                       "nothing about your files."),
        content);
    text->setWordWrap(true);
    auto* links = new QLabel(QStringLiteral("<a href=\"https://quorvane.org/privacy\">Privacy Policy</a> &nbsp;\u00b7&nbsp; "
                                            "<a href=\"https://quorvane.org/terms\">Terms of Service</a>"),
                             content);
    links->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    layout->addWidget(links);
    return content;
}

void SettingsView::showWordCount() {
    const auto count = m_settings.parsedCustomWords().size();
    m_wordCount->setText(count == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(count));
}

void SettingsView::importWordList() {
    const auto path = m_dialogs.chooseFileToOpen(QStringLiteral("Import Word List"),
                                                 QStringLiteral("Word lists (*.txt *.csv);;All files (*)"));
    if (!path) {
        return;
    }
    const auto file = CustomWordList::readFile(*path);
    if (!file.text) {
        m_dialogs.showAlert(wordListTitle, QStringLiteral("Could not read that word list: ") + file.problem);
        return;
    }
    const auto merged = CustomWordList::merge(m_settings.parsedCustomWords(), CustomWordList::parse(*file.text));
    m_settings.setValue(Setting::customWordsText, merged.join(QLatin1Char('\n')));
}

void SettingsView::exportWordList() {
    const auto path = m_dialogs.chooseFileToSave(QStringLiteral("Export Word List"), exportedWordsName,
                                                 QStringLiteral("Text (*.txt)"));
    if (!path) {
        return;
    }
    QSaveFile file(*path);
    const QByteArray text = CustomWordList::text(m_settings.parsedCustomWords()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_dialogs.showAlert(wordListTitle, QStringLiteral("Could not save the word list: ") + file.errorString());
    }
}

} // namespace quorvane

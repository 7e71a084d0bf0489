#include "app/LanguageChecklist.h"

#include "app/SettingRow.h"
#include "core/OCRLanguageCatalog.h"
#include "platform/TesseractEnginePool.h"
#include "settings/AppSettings.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

constexpr int tagRole = Qt::UserRole;

bool isInstalled(const QString& tag) {
    return TesseractEnginePool::isInstalled(TesseractEnginePool::tesseractCode(tag));
}

} // namespace

QString LanguageChecklist::package(const QString& tag) {
    return QStringLiteral("tesseract-ocr-") + TesseractEnginePool::tesseractCode(tag).replace('_', '-');
}

LanguageChecklist::LanguageChecklist(AppSettings& settings, QWidget* parent) : QWidget(parent), m_settings(settings) {
    const auto& row = describe(Setting::languages);
    setObjectName(row.key);
    m_list = new QListWidget(this);
    m_list->setFixedHeight(120);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    for (const auto& language : OCRLanguageCatalog::languages()) {
        auto* item = new QListWidgetItem(m_list);
        item->setData(tagRole, language.tag);
        if (isInstalled(language.tag)) {
            item->setText(language.name);
        } else {
            item->setText(QStringLiteral("%1 \u2014 not installed (%2)").arg(language.name, package(language.tag)));
            item->setToolTip(QStringLiteral("Tesseract has no data for %1 on this computer. Install the package %2 "
                                            "to recognise it.")
                                 .arg(language.name, package(language.tag)));
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 6);
    layout->setSpacing(3);
    layout->addWidget(new QLabel(row.displayName, this));
    layout->addWidget(m_list);
    layout->addWidget(SettingRow::helpLabel(
        QStringLiteral("Languages whose Tesseract data is not installed are greyed out; install the package named "
                       "beside them to use them."),
        this));

    connect(m_list, &QListWidget::itemChanged, this, &LanguageChecklist::itemChanged);
    connect(&m_settings, &AppSettings::settingChanged, this, [this](Setting changed) {
        if (changed == Setting::languages) {
            showLanguages();
        }
    });
    showLanguages();
}

void LanguageChecklist::showLanguages() {
    const QSignalBlocker block(m_list);
    const auto chosen = m_settings.value<QStringList>(Setting::languages);
    for (int index = 0; index < m_list->count(); ++index) {
        QListWidgetItem* item = m_list->item(index);
        const QString tag = item->data(tagRole).toString();
        const bool checked = chosen.contains(tag);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
        if (checked || isInstalled(tag)) {
            flags |= Qt::ItemIsEnabled;
        }
        item->setFlags(flags);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void LanguageChecklist::itemChanged(QListWidgetItem* item) {
    const QString tag = item->data(tagRole).toString();
    auto languages = m_settings.value<QStringList>(Setting::languages);
    if (item->checkState() == Qt::Checked) {
        if (!languages.contains(tag)) {
            languages.append(tag);
        }
    } else {
        languages.removeAll(tag);
    }
    m_settings.setValue(Setting::languages, languages);
    showLanguages(); // a missing language, once unchosen, can no longer be chosen
}

} // namespace quorvane

#include "app/SettingRow.h"

#include "settings/AppSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QLabel* colouredLabel(const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->hide();
    return label;
}

} // namespace

QLabel* SettingRow::helpLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x55, 0x55, 0x55));
    label->setPalette(palette);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    return label;
}

SettingRow::SettingRow(AppSettings& settings, Setting setting, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_setting(setting) {
    const auto& row = describe(setting);
    setObjectName(row.key);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 6);
    layout->setSpacing(3);
    const auto labelled = [&](QWidget* control) {
        auto* form = new QFormLayout;
        form->setContentsMargins(0, 0, 0, 0);
        form->setFieldGrowthPolicy(m_field ? QFormLayout::AllNonFixedFieldsGrow : QFormLayout::FieldsStayAtSizeHint);
        form->addRow(row.displayName, control);
        layout->addLayout(form);
    };

    if (std::holds_alternative<bool>(row.defaultValue)) {
        m_switch = new QCheckBox(row.displayName, this);
        layout->addWidget(m_switch);
        connect(m_switch, &QCheckBox::toggled, this, [this](bool on) { m_settings.setValue(m_setting, on); });
    } else if (const auto options = choices(row.defaultValue); !options.isEmpty()) {
        m_picker = new QComboBox(this);
        for (const auto& option : options) {
            m_picker->addItem(displayName(option));
        }
        labelled(m_picker);
        connect(m_picker, &QComboBox::activated, this, [this, options](int index) {
            m_settings.setValue(m_setting, options.value(index));
        });
    } else if (row.multiLine) {
        layout->addWidget(new QLabel(row.displayName, this));
        m_text = new QPlainTextEdit(this);
        m_text->setTabChangesFocus(true);
        m_text->setFixedHeight(110);
        layout->addWidget(m_text);
        connect(m_text, &QPlainTextEdit::textChanged, this,
                [this] { m_settings.setValue(m_setting, m_text->toPlainText()); });
    } else {
        m_field = new QLineEdit(this);
        labelled(m_field);
        connect(m_field, &QLineEdit::textEdited, this, &SettingRow::textEdited);
    }
    if (!row.helpText.isEmpty()) {
        layout->addWidget(helpLabel(row.helpText, this));
    }
    if (m_field) {
        m_warning = colouredLabel(QColor(0xb0, 0x5a, 0x00), this);
        m_warning->setObjectName(QStringLiteral("warning"));
        m_refusal = colouredLabel(QColor(0xc0, 0x20, 0x20), this);
        m_refusal->setObjectName(QStringLiteral("refusal"));
        layout->addWidget(m_warning);
        layout->addWidget(m_refusal);
    }

    connect(&m_settings, &AppSettings::settingChanged, this, [this](Setting changed) {
        if (changed == m_setting) {
            showValue();
        }
    });
    showValue();
}

void SettingRow::addMnemonic() {
    if (m_switch) {
        m_switch->setText(QLatin1Char('&') + describe(m_setting).displayName);
    }
}

void SettingRow::showValue() {
    const SettingValue value = m_settings.value(m_setting);
    if (m_switch) {
        const QSignalBlocker block(m_switch);
        m_switch->setChecked(std::get<bool>(value));
    } else if (m_picker) {
        m_picker->setCurrentIndex(choices(value).indexOf(value));
    } else if (m_text) {
        const QString text = std::get<QString>(value);
        if (m_text->toPlainText() != text) {
            const QSignalBlocker block(m_text);
            m_text->setPlainText(text);
        }
    } else if (m_field) {
        const QString text = std::get<QString>(value);
        if (m_field->text() != text) { // changed elsewhere: a refused text typed here is gone
            m_field->setText(text);
            m_refusal->hide();
        }
        const auto warning = describe(m_setting).warning;
        const auto warned = warning ? warning(value) : std::nullopt;
        m_warning->setText(warned.value_or(QString()));
        m_warning->setVisible(warned.has_value());
    }
}

// A text the table refuses stays in the field with its reason; the setting keeps its last
// usable value until the text is usable again.
void SettingRow::textEdited(const QString& text) {
    const auto problem = describe(m_setting).problem;
    const auto refused = problem ? problem(SettingValue(text)) : std::nullopt;
    m_refusal->setText(refused ? refused->left(1).toUpper() + refused->mid(1) : QString());
    m_refusal->setVisible(refused.has_value());
    if (!refused) {
        m_settings.setValue(m_setting, text);
        showValue();
    }
}

} // namespace quorvane

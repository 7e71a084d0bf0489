#pragma once

// The recognition languages: one checkbox per catalog language. A language whose Tesseract data
// is not installed is shown greyed out with the package that brings it, and cannot be chosen
// (one chosen before the data went away can still be unchosen). Checking adds the language at
// the end of the list; unchecking removes it.

#include <QWidget>

class QListWidget;
class QListWidgetItem;

namespace quorvane {

class AppSettings;

class LanguageChecklist : public QWidget {
    Q_OBJECT

public:
    explicit LanguageChecklist(AppSettings& settings, QWidget* parent = nullptr);

    // The Debian package with Tesseract's data for a catalog tag ("tesseract-ocr-chi-sim").
    static QString package(const QString& tag);

private:
    void showLanguages();
    void itemChanged(QListWidgetItem* item);

    AppSettings& m_settings;
    QListWidget* m_list = nullptr;
};

} // namespace quorvane

#pragma once

// The settings window: one scrolling form of nine sections (Presets, Watch Folder, Recognition,
// Vocabulary, Preprocessing, Output, Notifications, System Tray, Privacy & Legal). Every control
// stores its change at once; there is nothing to apply.

#include <QWidget>

class QLabel;
class QScrollArea;

namespace quorvane {

class AppSettings;
class DialogProvider;
class FolderWatcher;

class SettingsView : public QWidget {
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Quorvane Settings");
    static inline const QString wordListTitle = QStringLiteral("Word list");
    static inline const QString exportedWordsName = QStringLiteral("quorvane-words.txt");

    SettingsView(AppSettings& settings, FolderWatcher& watcher, DialogProvider& dialogs, QWidget* parent = nullptr);

    QScrollArea& scrollArea() const { return *m_scroll; }

    // Merges the words of a .txt or .csv file after the current ones.
    void importWordList();
    // Writes the current words, one a line.
    void exportWordList();

private:
    QWidget* section(const QString& title, QWidget* content);
    QWidget* vocabularyActions();
    QWidget* privacy();
    void showWordCount();

    AppSettings& m_settings;
    DialogProvider& m_dialogs;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_wordCount = nullptr;
};

} // namespace quorvane

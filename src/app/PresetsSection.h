#pragma once

// The presets part of the settings window: the "Active preset" picker ("Custom" when no preset
// has exactly the current settings), Save as New…, Rename… and Delete (the last two only for the
// preset in use), with their questions and the refusal of a duplicate.

#include <QWidget>

class QPushButton;

namespace quorvane {

class AppSettings;
class DialogProvider;

class PresetsSection : public QWidget {
    Q_OBJECT

public:
    PresetsSection(AppSettings& settings, DialogProvider& dialogs, QWidget* parent = nullptr);

    void saveAsNew();
    void renameCurrent();
    void deleteCurrent();

private:
    void showButtons();

    AppSettings& m_settings;
    DialogProvider& m_dialogs;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace quorvane

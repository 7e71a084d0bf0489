#pragma once

// The watched folder in the settings window: the switch, the folder with "Choose…", the watcher's
// status message, and, when watching starts, the question whether the files already in the folder
// are to be processed too.

#include <QWidget>

class QCheckBox;
class QLabel;

namespace quorvane {

class DialogProvider;
class ElidedLabel;
class FolderWatcher;

class WatchFolderSection : public QWidget {
    Q_OBJECT

public:
    WatchFolderSection(FolderWatcher& watcher, DialogProvider& dialogs, QWidget* parent = nullptr);

    // Asks for the folder to watch and starts watching it.
    void chooseFolder();

private:
    void setWatching(bool on);
    void askAboutExistingFiles();
    void showWatcher();

    FolderWatcher& m_watcher;
    DialogProvider& m_dialogs;
    QCheckBox* m_switch = nullptr;
    ElidedLabel* m_folder = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace quorvane

#pragma once

// Showing files in the user's file manager and opening them with their default application.

#include <QString>
#include <QStringList>

namespace quorvane::FileBrowser {

// Selects the files in the file manager (org.freedesktop.FileManager1), or, when no file
// manager answers that request, opens the first file's folder.
void reveal(const QStringList& paths);

// Opens the file with the desktop's default application for its type.
void open(const QString& path);

} // namespace quorvane::FileBrowser

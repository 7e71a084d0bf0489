#pragma once

// Which files a job takes, and how dropped files and folders become the ordered list of inputs.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::InputFiles {

// A PDF or a supported image, judged by the extension alone.
bool isAcceptedInput(const QString& path);

// Why a path named on a command line gives no input ("No such file or folder."); nothing for an
// accepted file or a folder.
std::optional<QString> whyNotTaken(const QString& path);

// Files are taken when accepted; folders contribute their accepted immediate children (hidden
// files and subfolders left out). Missing paths are dropped; each file comes once; the list is
// sorted by file name as a file manager sorts (case-insensitive, numbers by value).
QStringList expandInputs(const QStringList& paths);

// The files that are no outputs: leaves out every file this process wrote as an output, and
// every searchable copy whose name is what `nameTemplate` names the output of another file of its
// folder (scan_searchable.pdf beside scan.pdf), whatever the date. A template that names a file
// after itself ("{name}") leaves that file in.
QStringList withoutOutputs(const QStringList& files, const QString& nameTemplate);
struct Expansion {
    QStringList files;          // as expandInputs gives them
    int unsearchedFolders = 0;  // subfolders that were not looked into (hidden ones not counted)
    int unfollowedLinks = 0;    // links to folders, which are never looked into
};
// As expandInputs; with `recursive`, folders contribute the accepted files of every subfolder
// too, except hidden ones, links to folders (which could lead round in circles) and
// `outputFolder`, whose outputs would come back as inputs at every run.
Expansion expand(const QStringList& paths, bool recursive, const QString& outputFolder = {});

} // namespace quorvane::InputFiles

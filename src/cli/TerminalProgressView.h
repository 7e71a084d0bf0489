#pragma once

// Progress on a terminal that stays the size of the work in progress: finished lines are printed
// once, for good, and under them a live block (a header and a line per document in progress) is
// redrawn in place, each line cut to the terminal's width, and drawn again when the terminal is
// resized. Everything this view prints goes to one terminal stream.

#include <QObject>
#include <QStringList>

#include <cstdio>

class QSocketNotifier;

namespace quorvane::cli {

class TerminalProgressView : public QObject {
    Q_OBJECT

public:
    explicit TerminalProgressView(FILE* stream, QObject* parent = nullptr);
    ~TerminalProgressView() override;

    // Prints `lines` for good above the live block, which becomes `live`. Every line is cut to
    // the width: a wrapped one would put the block out of place.
    void show(const QStringList& lines, const QStringList& live);
    // Prints `line` for good above the live block.
    void printAbove(const QString& line) { show({line}, live_); }
    // Takes the live block away, leaving the cursor where it began.
    void clearLive() { show({}, {}); }

private:
    void redraw(const QStringList& above = {});

    FILE* stream_;
    int descriptor_;
    QStringList live_;
    int drawnLines_ = 0;
    QSocketNotifier* resized_ = nullptr;
};

} // namespace quorvane::cli

#include "cli/TerminalText.h"

#include <QList>

#include <algorithm>

#include <cwchar>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvane::cli::TerminalText {

namespace {

int columnsOf(uint character) {
    const int columns = ::wcwidth(static_cast<wchar_t>(character));
    return columns < 0 ? 1 : columns; // unknown to the locale: most terminals give it one column
}

} // namespace

int columns(int fileDescriptor) {
    winsize size{};
    if (::isatty(fileDescriptor) && ::ioctl(fileDescriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

int width(const QString& text) {
    int total = 0;
    for (const uint character : text.toUcs4()) {
        total += columnsOf(character);
    }
    return total;
}

QString fitted(const QString& text, int columns) {
    if (width(text) <= columns) {
        return text;
    }
    const QList<uint> characters = text.toUcs4();
    const int room = columns - 1; // the ellipsis takes one
    // A third of the room for the start, the rest for the end: outcomes end the lines.
    qsizetype headCount = 0, tailCount = 0;
    int used = 0;
    while (headCount < characters.size() && used + columnsOf(characters[headCount]) <= room / 3) {
        used += columnsOf(characters[headCount++]);
    }
    while (tailCount < characters.size() - headCount &&
           used + columnsOf(characters[characters.size() - 1 - tailCount]) <= room) {
        used += columnsOf(characters[characters.size() - 1 - tailCount++]);
    }
    const auto* codePoints = reinterpret_cast<const char32_t*>(characters.constData());
    return QString::fromUcs4(codePoints, headCount) + QStringLiteral("…") +
           QString::fromUcs4(codePoints + characters.size() - tailCount, tailCount);
}

} // namespace quorvane::cli::TerminalText

#include "cli/Terminal.h"

#include "platform/FileNames.h"

#include <unistd.h>

namespace quorvane::cli::Terminal {

namespace {

bool isControl(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

QString hex(unsigned value) { return QStringLiteral("\\x") + QString::number(value, 16).toUpper().rightJustified(2, u'0'); }

} // namespace

bool isTerminal(FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

QString shown(const QString& text, FILE* stream, bool keepLineBreaks) {
    if (!isTerminal(stream)) {
        return text;
    }
    QString escaped;
    for (const QChar c : FileNames::shown(text)) {
        const bool kept = keepLineBreaks && c == u'\n';
        escaped += isControl(c.unicode()) && !kept ? hex(c.unicode()) : QString(c);
    }
    return escaped;
}

void print(FILE* stream, const QString& text) {
    std::fputs(FileNames::encode(text).constData(), stream);
    std::fflush(stream);
}

} // namespace quorvane::cli::Terminal

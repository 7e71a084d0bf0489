#include "jobs/PrettyJSON.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace quorvane::PrettyJSON {

namespace {

void indent(QByteArray& out, int depth) { out.append(QByteArray(2 * depth, ' ')); }

void writeString(QByteArray& out, const QString& text) {
    out.append('"');
    for (const char byte : text.toUtf8()) {
        switch (byte) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '/': out.append("\\/"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            // UTF-8 lead and continuation bytes are negative as char and pass through unchanged.
            if (byte >= 0 && byte < 0x20) {
                out.append("\\u00");
                out.append(QByteArray::number(static_cast<int>(byte), 16).rightJustified(2, '0'));
            } else {
                out.append(byte);
            }
        }
    }
    out.append('"');
}

void writeNumber(QByteArray& out, double value) {
    // Whole numbers (every count) print as integers; the rest as the shortest round-trip form.
    if (std::trunc(value) == value && std::fabs(value) < 9007199254740992.0) {
        out.append(QByteArray::number(static_cast<qint64>(value)));
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

void writeValue(QByteArray& out, const QJsonValue& value, int depth);

// An empty container keeps the blank line the platform's pretty printer leaves: "[\n\n  ]".
void writeArray(QByteArray& out, const QJsonArray& array, int depth) {
    out.append("[\n");
    bool first = true;
    for (const auto& element : array) {
        if (!first) {
            out.append(",\n");
        }
        first = false;
        indent(out, depth + 1);
        writeValue(out, element, depth + 1);
    }
    out.append('\n');
    indent(out, depth);
    out.append(']');
}

void writeObject(QByteArray& out, const QJsonObject& object, int depth) {
    auto keys = object.keys();
    std::sort(keys.begin(), keys.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    out.append("{\n");
    bool first = true;
    for (const auto& key : keys) {
        if (!first) {
            out.append(",\n");
        }
        first = false;
        indent(out, depth + 1);
        writeString(out, key);
        out.append(" : ");
        writeValue(out, object.value(key), depth + 1);
    }
    out.append('\n');
    indent(out, depth);
    out.append('}');
}

void writeValue(QByteArray& out, const QJsonValue& value, int depth) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: out.append("null"); break;
    case QJsonValue::Bool: out.append(value.toBool() ? "true" : "false"); break;
    case QJsonValue::Double: writeNumber(out, value.toDouble()); break;
    case QJsonValue::String: writeString(out, value.toString()); break;
    case QJsonValue::Array: writeArray(out, value.toArray(), depth); break;
    case QJsonValue::Object: writeObject(out, value.toObject(), depth); break;
    }
}

} // namespace

QByteArray write(const QJsonValue& value) {
    QByteArray out;
    writeValue(out, value, 0);
    return out;
}

} // namespace quorvane::PrettyJSON

#pragma once

// JSON text in the layout of the report files: two-space indentation, " : " between key and value,
// keys in ascending byte order, "/" written as "\/", whole numbers without a fraction and other
// numbers in the shortest form that reads back to the same double. QJsonDocument's own layout
// (four spaces, ": ", unescaped "/") differs, so reports are written by this small writer.

#include <QByteArray>
#include <QJsonValue>

namespace quorvane::PrettyJSON {

// The text of a value. Numbers must be finite (QJsonValue cannot hold anything else).
QByteArray write(const QJsonValue& value);

} // namespace quorvane::PrettyJSON

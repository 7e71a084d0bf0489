#pragma once

// The outputs this process has written, so that a batch or the watched folder never takes one
// of them as an input, whatever it is called.

#include <QString>

namespace quorvane::WrittenOutputs {

// Safe to call from any thread.
void add(const QString& path);
bool contains(const QString& path);

} // namespace quorvane::WrittenOutputs

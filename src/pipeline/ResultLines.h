#pragma once

// The lines that tell the user how a document turned out.

#include "pipeline/OCRPipeline.h"

#include <QStringList>

namespace quorvane::ResultLines {

// The full result lines of a finished document, in the order they are shown.
QStringList lines(const DocumentSummary& summary);

} // namespace quorvane::ResultLines

#pragma once

// The application's icon: the installed one from the icon theme, else the copy built into the
// program (so that a build that was never installed shows it too).

#include <QIcon>

namespace quorvane {

QIcon appIcon();

} // namespace quorvane

#include "app/AppIcon.h"

// The resources of a static library are registered by name, outside any namespace.
static void registerResources() { Q_INIT_RESOURCE(quorvane); }

namespace quorvane {

QIcon appIcon() {
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    return QIcon::fromTheme(QStringLiteral(QUORVANE_APP_ID),
                            QIcon(QStringLiteral(":/icons/" QUORVANE_APP_ID ".svg")));
}

} // namespace quorvane

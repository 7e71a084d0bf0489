#include "app/PendingDrops.h"

namespace quorvane {

void PendingDrops::append(const QStringList& paths) {
    m_urls.append(paths);
    Q_EMIT processFiles();
}

QStringList PendingDrops::take() {
    QStringList taken;
    taken.swap(m_urls);
    return taken;
}

} // namespace quorvane

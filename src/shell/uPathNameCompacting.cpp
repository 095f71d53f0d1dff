#include "shell/uPathNameCompacting.h"

#include <QDir>
#include <QFontMetrics>

namespace lv {

QString CompactPathName(const QString& path, const QFontMetrics& metrics, int width) {
    if (width < 1) return {};
    return metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, width);
}

} // namespace lv

#include "shell/uPathNameCompacting.h"

#include <QDir>
#include <QFontMetrics>
#include <QStringList>

namespace lv {

QString CompactPathName(const QString& path, const QFontMetrics& metrics, int width) {
    if (width < 1) return {};
    const QString native = QDir::toNativeSeparators(path);
    auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s) <= width; };
    if (fits(native)) return native;

    const QChar sep = QDir::separator();
    const QString ellipsis(QChar(0x2026));
    QStringList parts = native.split(sep);
    const QString name = parts.takeLast();
    // The start: everything up to the first folder's separator ("/data/", "C:\", "\\server\").
    QString head;
    while (!parts.isEmpty()) {
        const QString first = parts.takeFirst();
        head += first + sep;
        if (!first.isEmpty()) break;
    }
    // Folders are left out from the start of the middle on, the ones nearest the file stay.
    for (qsizetype dropped = 1; dropped <= parts.size(); ++dropped) {
        QString candidate = head + ellipsis + sep;
        for (qsizetype i = dropped; i < parts.size(); ++i)
            candidate += parts[i] + sep;
        candidate += name;
        if (fits(candidate)) return candidate;
    }
    if (!head.isEmpty() && fits(head + ellipsis + sep + name)) return head + ellipsis + sep + name;
    if (fits(ellipsis + sep + name)) return ellipsis + sep + name;
    if (fits(name)) return name;
    return metrics.elidedText(name, Qt::ElideMiddle, width);
}

} // namespace lv

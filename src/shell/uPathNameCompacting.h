#pragma once
// A path shortened with an ellipsis in the middle to fit a width: the start and the file name
// stay readable, middle folders give way first.

#include <QString>

class QFontMetrics;

namespace lv {

// `path` in native separators, elided in the middle to at most `width` pixels of `metrics`;
// empty for a width below 1.
QString CompactPathName(const QString& path, const QFontMetrics& metrics, int width);

} // namespace lv

#pragma once
// A path shortened with an ellipsis to fit a width: its start (the root and first folder) and
// its file name stay readable, the folders in between give way first, those nearest the file
// (a data folder's "131", "AB") last.

#include <QString>

class QFontMetrics;

namespace lv {

// `path` in native separators, shortened to at most `width` pixels of `metrics`, in this order
// of preference: the whole path; the start, "…" and as many of the last folders as fit before
// the name; "…" and the name; the name alone; the name shortened in its middle. Empty for a width
// below 1.
QString CompactPathName(const QString& path, const QFontMetrics& metrics, int width);

} // namespace lv

#pragma once
// Lines drawn over the graph's content from its state (the cursor, the zoom frame, the overview's
// window frame): a line of its own colour between two edges of a contrasting one, so that it stays
// visible over the background and over a curve of any colour, the cursor's own included. Nothing
// is inverted: what lies under a line is painted over, and repainted with the content.

#include <QColor>
#include <QLine>
#include <QPainter>
#include <QRect>

#include <initializer_list>

namespace lv {

// Black beside a light line, white beside a dark one.
QColor OverlayEdgeColor(const QColor& line);

// Horizontal or vertical 1-pixel lines (both end points drawn), each between edges one pixel
// wide on either side. All edges are drawn before the lines, so a crossing keeps both lines.
void DrawOverlayLines(QPainter& painter, std::initializer_list<QLine> lines, const QColor& colour,
                      Qt::PenStyle style = Qt::SolidLine);

// The outline of `r` (its left..right and top..bottom pixels) as four overlay lines.
void DrawOverlayRect(QPainter& painter, const QRect& r, const QColor& colour, Qt::PenStyle style = Qt::SolidLine);

} // namespace lv

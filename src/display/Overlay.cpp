#include "display/Overlay.h"

#include <QPen>

#include <algorithm>
#include <vector>

namespace lv {

namespace {

// The band of a line widened by one pixel across it: where the edges go.
QRect edgeBand(const QLine& l) {
    const QRect r = QRect(l.p1(), l.p2()).normalized();
    return l.x1() == l.x2() ? r.adjusted(-1, 0, 1, 0) : r.adjusted(0, -1, 0, 1);
}

} // namespace

QColor OverlayEdgeColor(const QColor& line) {
    // Perceived brightness (ITU-R BT.601 weights): red, the cursor's colour, counts as light
    // enough for black edges, which also separate it from a red curve.
    const int y = (299 * line.red() + 587 * line.green() + 114 * line.blue()) / 1000;
    return y >= 60 ? QColor(Qt::black) : QColor(Qt::white);
}

void DrawOverlayLines(QPainter& painter, std::initializer_list<QLine> lines, const QColor& colour,
                      Qt::PenStyle style) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor edge = OverlayEdgeColor(colour);
    for (const QLine& l : lines)
        painter.fillRect(edgeBand(l), edge);
    if (style == Qt::SolidLine) {
        for (const QLine& l : lines)
            painter.fillRect(QRect(l.p1(), l.p2()).normalized(), colour);
    } else {
        painter.setPen(QPen(colour, 1, style));
        for (const QLine& l : lines)
            painter.drawLine(l);
    }
    painter.restore();
}

void DrawOverlayRect(QPainter& painter, const QRect& r, const QColor& colour, Qt::PenStyle style) {
    if (r.isEmpty()) return;
    const int l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
    DrawOverlayLines(painter, {QLine(l, t, rt, t), QLine(l, b, rt, b), QLine(l, t, l, b), QLine(rt, t, rt, b)},
                     colour, style);
}

} // namespace lv

#include "display/CurveTicks.h"

#include <QFontMetrics>
#include <QPainter>

#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"

namespace lv {

int PaintCurveTicks(TGContentPainter& gp, TGDataItem& item, const std::vector<TCurveTick>& ticks,
                    const QColor& colour, const QFont& font) {
    QPainter* p = gp.Canvas();
    if (!p || ticks.empty()) return 0;
    p->save();
    p->setClipRect(gp.Geometry().Content.ToQRect(), Qt::IntersectClip);
    p->setPen(QPen(colour, 1));
    p->setFont(font);
    const QFontMetrics metrics(font);
    int drawn = 0;
    for (const TCurveTick& t : ticks) {
        if (!(t.X >= gp.PaintXMin() && t.X <= gp.PaintXMax())) continue;
        const std::optional<double> value = item.ValueAt(t.X);
        if (!value) continue;
        const int px = gp.XToPixel(t.X);
        const int py = gp.YToPixel(*value);
        p->drawLine(px, py - kCurveTickHalf, px, py + kCurveTickHalf);
        if (!t.Label.isEmpty()) {
            const int w = metrics.horizontalAdvance(t.Label);
            p->drawText(QPoint(px - w / 2, py - kCurveTickHalf - 2 - metrics.descent()), t.Label);
        }
        ++drawn;
    }
    p->restore();
    return drawn;
}

} // namespace lv

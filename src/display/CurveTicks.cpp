#include "display/CurveTicks.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

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
    const TRect content = gp.Geometry().Content;
    int drawn = 0;
    for (const TCurveTick& t : ticks) {
        const std::optional<double> value = std::isfinite(t.X) ? item.ValueAt(t.X) : std::nullopt;
        if (!value) continue;
        // A tick beside the strip being painted may reach into it with its label: the clip
        // decides, so that a scroll never leaves half a label behind.
        const int reach = metrics.horizontalAdvance(t.Label) / 2 + 1;
        const int px = gp.XToPixel(t.X);
        if (px < content.Left - reach || px > content.Right + reach) continue;
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

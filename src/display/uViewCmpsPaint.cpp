// TGraphView: the paint pipeline, the strips around the content, the grids.

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include "display/NumberFormat.h"
#include "display/uViewCmps.h"
#include "display/uViewCmpsData.h"
#include "trace/Numeric.h"
#include "trace/ValueHelpers.h"

namespace lv {

namespace {

QColor qc(TColor c) {
    return ColorToQColor(c);
}

void fill(QPainter& p, const TRect& r, TColor c) {
    if (!r.IsEmpty()) p.fillRect(r.ToQRect(), qc(c));
}

// A line that leaves out its end point, as the strips' tick and grid arithmetic counts pixels.
void lineTo(QPainter& p, int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    int dx = x1 > x0 ? 1 : x1 < x0 ? -1 : 0;
    int dy = y1 > y0 ? 1 : y1 < y0 ? -1 : 0;
    p.drawLine(x0, y0, x1 - dx, y1 - dy);
}

// Turned texts of the Y strips read upward on the first side unless that side is on the right.
TTextRotation yRotation(int side, int pos) {
    return (side == 0 && pos != ylpRight) ? TTextRotation::Up : TTextRotation::Down;
}

} // namespace

// --- texts ---------------------------------------------------------------------------------------

QString TGraphView::HeaderText() const {
    auto info = ActiveItemInfo();
    if (info && m_headerContent == hcCaption) return info->Caption;
    if (info && m_headerContent == hcFileName)
        return QString::fromStdString(std::string(PathNamePart(info->FileName.toStdString())));
    return m_header;
}

QString TGraphView::LabelText(TAxis axis) const {
    const TAxisStrips& s = strips(axis);
    if (s.LabelUnits.isEmpty()) return s.Label;
    if (s.Label.isEmpty()) return s.LabelUnits;
    return s.Label + QStringLiteral(", ") + s.LabelUnits;
}

QString TGraphView::ScaleText(TAxis axis) const {
    const TAxisStrips& s = strips(axis);
    const TRulerLayout r = rulersNow(axis);
    return lv::ScaleText(r.RulsPerGrd * r.TickWorld, s.LabelUnits, s.ScaleVisible, decimalSeparator());
}

QString TGraphView::PowerText(TAxis axis) const {
    const TAxisStrips& s = strips(axis);
    const TValuesFormat f =
        ValuesFormat(axis == TAxis::X ? m_exts.XMax : m_exts.YMax, s.PowerVisible, s.ValuesPrec);
    return f.ShowPower ? lv::PowerText(f.Exponent) : QString();
}

std::vector<TStripText> TGraphView::ValueTexts(TAxis axis, int side) const {
    std::vector<TStripText> texts;
    const TWhatObject area = axis == TAxis::X ? woXValues : woYValues;
    const TRect strip = m_layout.Area(area, side);
    if (strip.IsEmpty()) return texts;
    const TAxisStrips& s = strips(axis);
    const TRulerLayout r = rulersNow(axis);
    const TRect c = ContentRect();
    const bool upward = axis == TAxis::Y;
    const double worldMin = upward ? m_exts.YMin : m_exts.XMin;
    const TValuesFormat f = ValuesFormat(upward ? m_exts.YMax : m_exts.XMax, s.PowerVisible, s.ValuesPrec);
    const QString separator = decimalSeparator();
    const int per = std::max(r.RulsPerGrd, 1);

    // Every grid line's value first: where they would run together, only every k-th line is
    // labelled (counted from the world's start, so that labels do not hop while scrolling).
    std::vector<TGridLabel> labels;
    QStringList values;
    const QFontMetrics metrics(s.ValuesFont.Font);
    for (const TTick& t : VisibleTicks(r, upward, upward ? c.Top : c.Right)) {
        if (t.Index % per != 0) continue;
        double value = worldMin + t.Index * r.TickWorld;
        if (f.Divisor != 1) value = SafeDivide(value, f.Divisor).value_or(value);
        const QString text = FormatFloat(value, f.Format, f.Precision, separator);
        labels.push_back({t.Pos, t.Index / per, metrics.horizontalAdvance(text)});
        values << text;
    }
    constexpr int kLabelGap = 4;
    const int lo = upward ? strip.Top : strip.Left, hi = upward ? strip.Bottom : strip.Right;
    const int stride = LabelStride(labels, r.TickPx, per, lo, hi, kLabelGap);
    // With one tick per grid line the box would have no width at all; it spans one tick then.
    const int half = LabelHalfBox(r.TickPx, per, stride);
    for (size_t i = 0; i < labels.size(); ++i) {
        const TGridLabel& l = labels[i];
        if (((l.Grid % stride) + stride) % stride != 0) continue;
        TRect box = upward ? TRect{strip.Left, l.Pos - half, strip.Right, l.Pos + half}
                           : TRect{l.Pos - half, strip.Top, l.Pos + half, strip.Bottom};
        box = box.Intersected(strip);
        if (box.IsEmpty()) continue;
        texts.push_back({box, values[qsizetype(i)]});
    }
    return texts;
}

// --- the pipeline --------------------------------------------------------------------------------

void TGraphView::paintEvent(QPaintEvent* event) {
    if (m_updateCount > 0 && !m_printing) return;
    QPainter painter(viewport());
    PaintView(painter, event->rect());
}

void TGraphView::PaintView(QPainter& painter, const QRect& clip) {
    TDrawStruct ds;
    PrepareDrawStruct(ds, painter, clip);
    painter.save();
    Paint(ds);
    painter.restore();
}

void TGraphView::PrepareDrawStruct(TDrawStruct& ds, QPainter& painter, const QRect& clip) {
    ds.Canvas = &painter;
    ds.ClipRect = TRect::FromQRect(clip);
    ds.HorzPos = HorzScrollBar().Position();
    ds.VertPos = VertScrollBar().Position();
    ds.PaintRect = {};
}

void TGraphView::Paint(TDrawStruct& ds) {
    LayoutAreas();
    CalcRulers();
    // Degenerate extents or a content without pixels make the transforms incomputable: the
    // paint is abandoned, leaving only the control's own colour.
    if (!Geometry().Valid() || m_xRulers.TickWorld <= 0 || m_yRulers.TickWorld <= 0) {
        fill(*ds.Canvas, ds.ClipRect, m_color);
        return;
    }
    if (!m_printing) DoPreparePaint(ds);
    PaintObjects(ds);
    DoExtsChanged();
}

void TGraphView::DoPreparePaint(TDrawStruct& ds) {
    if (OnPreparePaint) {
        OnPreparePaint(this, ds);
        return;
    }
    for (const TRect& corner : m_layout.Corners)
        fill(*ds.Canvas, corner, m_color);
}

void TGraphView::PaintObjects(TDrawStruct& ds) {
    if (OnPaintObjects) {
        OnPaintObjects(this, ds);
        return;
    }
    if (OnPaintObject) {
        for (int a = woHeader; a <= woYRuls; ++a)
            OnPaintObject(this, ds, TWhatObject(a));
        return;
    }
    PaintHeader(ds);
    PaintLabels(ds);
    PaintScales(ds);
    PaintValues(ds);
    PaintRulers(ds);
    PaintContent(ds);
}

bool TGraphView::sideVisible(TDrawStruct& ds, TWhatObject area, int side) const {
    return m_layout.Area(area, side).Intersects(ds.ClipRect);
}

void TGraphView::DrawStripText(TDrawStruct& ds, TWhatObject, int, const TRect& box, const QString& text,
                               const TGraphFont& font, TTextRotation rotation, TTextPlacement placement) {
    DrawFittedText(*ds.Canvas, box, text, font, rotation, placement);
}

// --- strips --------------------------------------------------------------------------------------

void TGraphView::PaintHeader(TDrawStruct& ds) {
    if (!sideVisible(ds, woHeader, 0)) return;
    QPainter& p = *ds.Canvas;
    const TRect r = m_layout.Area(woHeader, 0);
    const TRect c = ContentRect();
    fill(p, r, m_headerColor);
    const bool horizontal = m_headerPos == hpTop || m_headerPos == hpBottom;
    TRect box = r;
    if (horizontal) {
        box.Left = std::max(box.Left, c.Left);
        box.Right = std::min(box.Right, c.Right);
    } else {
        box.Top = std::max(box.Top, c.Top);
        box.Bottom = std::min(box.Bottom, c.Bottom);
    }
    auto info = ActiveItemInfo();
    if (m_headerShowGraphColor && info && !box.IsEmpty()) {
        // The swatch stands where the caption starts to read.
        const int side = std::min(box.Width(), box.Height());
        TRect square;
        if (m_headerPos == hpLeft) {
            square = {box.Left, box.Bottom - side, box.Left + side, box.Bottom};
            box.Bottom -= side;
        } else if (m_headerPos == hpRight) {
            square = {box.Left, box.Top, box.Left + side, box.Top + side};
            box.Top += side;
        } else {
            square = {box.Left, box.Top, box.Left + side, box.Top + side};
            box.Left += side;
        }
        const TRect swatch{square.Left + 2, square.Top + 2, square.Right - 2, square.Bottom - 2};
        if (!swatch.IsEmpty()) {
            p.save();
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(qc(info->Colour));
            p.drawRect(QRect(swatch.Left, swatch.Top, swatch.Width() - 1, swatch.Height() - 1));
            p.restore();
        }
    }
    const TTextRotation rotation = m_headerPos == hpLeft    ? TTextRotation::Up
                                   : m_headerPos == hpRight ? TTextRotation::Down
                                                            : TTextRotation::None;
    DrawStripText(ds, woHeader, 0, box, HeaderText(), m_headerFont, rotation, TTextPlacement::Centre);
}

void TGraphView::PaintLabels(TDrawStruct& ds) {
    for (int side = 0; side < 2; ++side) {
        if (!sideVisible(ds, woXLabel, side)) continue;
        const TRect r = m_layout.Area(woXLabel, side);
        fill(*ds.Canvas, r, m_x.LabelColor);
        DrawStripText(ds, woXLabel, side, r, LabelText(TAxis::X), m_x.LabelFont, TTextRotation::None,
                      TTextPlacement::Centre);
    }
    for (int side = 0; side < 2; ++side) {
        if (!sideVisible(ds, woYLabel, side)) continue;
        const TRect r = m_layout.Area(woYLabel, side);
        fill(*ds.Canvas, r, m_y.LabelColor);
        DrawStripText(ds, woYLabel, side, r, LabelText(TAxis::Y), m_y.LabelFont,
                      yRotation(side, m_y.LabelPos), TTextPlacement::Centre);
    }
}

void TGraphView::PaintScales(TDrawStruct& ds) {
    for (TAxis axis : {TAxis::X, TAxis::Y}) {
        const TAxisStrips& s = strips(axis);
        const TWhatObject area = axis == TAxis::X ? woXScale : woYScale;
        for (int side = 0; side < 2; ++side) {
            if (!sideVisible(ds, area, side)) continue;
            const TRect r = m_layout.Area(area, side);
            const TTextRotation rotation = axis == TAxis::X ? TTextRotation::None : yRotation(side, s.SPPos);
            fill(*ds.Canvas, r, s.SPColor);
            DrawStripText(ds, area, side, r, ScaleText(axis), s.ScaleFont, rotation, TTextPlacement::Centre);
            const QString power = PowerText(axis);
            if (!power.isEmpty())
                DrawStripText(ds, area, side, r, power, s.PowerFont, rotation, TTextPlacement::End);
        }
    }
}

void TGraphView::PaintValues(TDrawStruct& ds) {
    for (TAxis axis : {TAxis::X, TAxis::Y}) {
        const TAxisStrips& s = strips(axis);
        const TWhatObject area = axis == TAxis::X ? woXValues : woYValues;
        for (int side = 0; side < 2; ++side) {
            if (!sideVisible(ds, area, side)) continue;
            const TRect r = m_layout.Area(area, side);
            QPainter& p = *ds.Canvas;
            fill(p, r, s.ValuesBkColor);
            p.save();
            p.setClipRect(r.ToQRect(), Qt::IntersectClip);
            const TTextRotation rotation = axis == TAxis::X ? TTextRotation::None
                                           : side == 0      ? TTextRotation::Up
                                                            : TTextRotation::Down;
            for (const TStripText& t : ValueTexts(axis, side))
                DrawStripText(ds, area, side, t.Box, t.Text, s.ValuesFont, rotation, TTextPlacement::Centre);
            p.restore();
        }
    }
}

void TGraphView::PaintRulers(TDrawStruct& ds) {
    QPainter& p = *ds.Canvas;
    const TRect c = ContentRect();
    auto length = [](const TAxisStrips& s, const TTick& t) {
        switch (TickKind(t.Phase, s.RulsPerGrd, s.RulsHalf)) {
        case TTickKind::Big:
            return s.RulsBigSize;
        case TTickKind::Half:
            return s.RulsHalfSize;
        default:
            return s.RulsNormSize;
        }
    };
    for (int side = 0; side < 2; ++side) {
        const TRect r = m_layout.Area(woXRuls, side);
        // A strip beside the content (not above or below it) has no place for X ticks.
        if (!sideVisible(ds, woXRuls, side) || (r.Top < c.Bottom && c.Top < r.Bottom)) continue;
        fill(p, r, m_x.RulsBkColor);
        p.save();
        p.setClipRect(r.ToQRect(), Qt::IntersectClip);
        p.setPen(QPen(qc(m_x.RulsColor), 1));
        const bool below = r.Top >= c.Bottom;
        for (const TTick& t : VisibleTicks(m_xRulers, false, c.Right)) {
            const int len = length(m_x, t);
            if (below)
                lineTo(p, t.Pos, r.Top, t.Pos, r.Top + len);
            else
                lineTo(p, t.Pos, r.Bottom - 1, t.Pos, r.Bottom - 1 - len);
        }
        p.restore();
    }
    for (int side = 0; side < 2; ++side) {
        const TRect r = m_layout.Area(woYRuls, side);
        if (!sideVisible(ds, woYRuls, side) || (r.Left < c.Right && c.Left < r.Right)) continue;
        fill(p, r, m_y.RulsBkColor);
        p.save();
        p.setClipRect(r.ToQRect(), Qt::IntersectClip);
        p.setPen(QPen(qc(m_y.RulsColor), 1));
        const bool right = r.Left >= c.Right;
        for (const TTick& t : VisibleTicks(m_yRulers, true, c.Top)) {
            const int len = length(m_y, t);
            if (right)
                lineTo(p, r.Left, t.Pos, r.Left + len, t.Pos);
            else
                lineTo(p, r.Right - 1, t.Pos, r.Right - 1 - len, t.Pos);
        }
        p.restore();
    }
}

// --- content -------------------------------------------------------------------------------------

void TGraphView::PaintContent(TDrawStruct& ds) {
    const TRect c = ContentRect();
    if (!c.Intersects(ds.ClipRect)) return;
    QPainter& p = *ds.Canvas;
    p.save();
    p.setClipRect(c.ToQRect(), Qt::IntersectClip);
    ds.PaintRect = c.Intersected(ds.ClipRect);
    TGContentPainter gp(Geometry(), m_xRulers, m_yRulers, &ds);
    fill(p, ds.PaintRect, m_contentBkColor);
    if (OnPaintContent) {
        for (int w = wcoXGrids; w <= wcoObjects; ++w)
            OnPaintContent(this, gp, TWhatContent(w));
    } else {
        PaintGrids(gp, wcoXGrids);
        PaintGrids(gp, wcoYGrids);
        PaintCurves(gp);
        if (OnPaintOverlay) OnPaintOverlay(this, gp);
        PaintContentObjects(gp);
    }
    ds.PaintRect = {};
    p.restore();
}

void TGraphView::PaintGrids(TGContentPainter& gp, TWhatContent which) {
    QPainter* p = gp.Canvas();
    if (!p) return;
    const TRect c = gp.Geometry().Content;
    const bool x = which == wcoXGrids;
    if (which != wcoXGrids && which != wcoYGrids) return;
    const TAxisStrips& s = x ? m_x : m_y;
    const QColor colour = qc(s.GridsColor);
    p->save();
    if (m_printing) {
        // On paper the content gets a frame of its own, grid or not.
        p->setPen(QPen(colour, 1, Qt::SolidLine));
        if (x) {
            lineTo(*p, c.Left + 1, c.Top + 1, c.Left + 1, c.Bottom - 1);
            lineTo(*p, c.Right - 1, c.Top + 1, c.Right - 1, c.Bottom - 1);
        } else {
            lineTo(*p, c.Left + 1, c.Top + 1, c.Right - 1, c.Top + 1);
            lineTo(*p, c.Left + 1, c.Bottom - 1, c.Right - 1, c.Bottom - 1);
        }
    }
    if (s.GridsVisible) {
        p->setPen(QPen(colour, 1, m_printing ? Qt::DotLine : Qt::SolidLine));
        const TRulerLayout& r = x ? gp.XRulers() : gp.YRulers();
        for (const TTick& t : VisibleTicks(r, !x, x ? c.Right : c.Top)) {
            if (t.Phase != 0) continue;
            if (x)
                lineTo(*p, t.Pos, c.Top, t.Pos, c.Bottom);
            else
                lineTo(*p, c.Left, t.Pos, c.Right, t.Pos);
        }
    }
    p->restore();
}

void TGraphView::PaintCurves(TGContentPainter& gp) {
    m_data->Paint(gp);
}

void TGraphView::PaintContentObjects(TGContentPainter&) {}

} // namespace lv

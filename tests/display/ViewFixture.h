#pragma once
// A graph view for tests: data extents, an active curve and a synthetic trace of its own, and a
// record of every strip text drawn.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "display/uViewCmps.h"

namespace lvtest {

// Paints the whole client of `v` into an image, as the screen would.
inline QImage RenderView(lv::TGraphView& v) {
    QImage img(v.ClientRect().size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    QPainter p(&img);
    v.PaintView(p, v.ClientRect());
    return img;
}

struct DrawnText {
    lv::TWhatObject Area;
    int Side;
    lv::TRect Box;
    QString Text;
};

class TestView : public lv::TGraphView {
public:
    std::optional<lv::TRealRect> Data;         // what DataExtents answers (zero rect when unset)
    std::optional<lv::TActiveItemInfo> Active; // the header's active curve
    std::function<double(double)> Curve;       // drawn over the data's X range when set
    lv::TColor CurveColour = lv::clWhite;
    std::vector<DrawnText> Texts;

    lv::TRealRect DataExtents() const override { return Data.value_or(lv::TRealRect{}); }

    std::vector<QString> TextsIn(lv::TWhatObject area, int side) const {
        std::vector<QString> r;
        for (const DrawnText& t : Texts)
            if (t.Area == area && t.Side == side) r.push_back(t.Text);
        return r;
    }

    QImage Render() {
        Texts.clear();
        return RenderView(*this);
    }

    using lv::TGraphView::CreateScrollInfo;
    using lv::TGraphView::SetPrinting;

protected:
    std::optional<lv::TActiveItemInfo> ActiveItemInfo() const override { return Active; }

    void DrawStripText(lv::TDrawStruct& ds, lv::TWhatObject area, int side, const lv::TRect& box,
                       const QString& text, const lv::TGraphFont& font, lv::TTextRotation rotation,
                       lv::TTextPlacement placement) override {
        Texts.push_back({area, side, box, text});
        lv::TGraphView::DrawStripText(ds, area, side, box, text, font, rotation, placement);
    }

    void PaintCurves(lv::TGContentPainter& gp) override {
        if (!Curve || !Data) return;
        QPainter* p = gp.Canvas();
        p->save();
        p->setPen(QPen(lv::ColorToQColor(CurveColour), 1));
        const double step = (Data->XMax - Data->XMin) / 4000;
        gp.MoveTo(Data->XMin, Curve(Data->XMin));
        for (int i = 1; i <= 4000; ++i) {
            double x = Data->XMin + i * step;
            gp.LineTo(x, Curve(x));
        }
        p->restore();
    }
};

// Shows the view with a content rectangle of exactly w x h pixels.
inline void SizeContent(lv::TGraphView& v, int w, int h) {
    if (!v.isVisible()) {
        v.resize(w + 100, h + 100);
        v.show();
        QApplication::processEvents();
    }
    for (int i = 0; i < 3; ++i) {
        lv::TRect c = v.ContentRect();
        if (c.Width() == w && c.Height() == h) break;
        v.resize(v.width() + w - c.Width(), v.height() + h - c.Height());
        QApplication::processEvents();
    }
}

// A mouse event in `w`'s coordinates; `leftDown` tells whether the left button is held after it.
inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, bool leftDown) {
    Qt::MouseButton button = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease)
                                 ? Qt::LeftButton
                                 : Qt::NoButton;
    Qt::MouseButtons buttons = leftDown ? Qt::MouseButtons(Qt::LeftButton) : Qt::MouseButtons(Qt::NoButton);
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Runs the event loop until `done` holds or `ms` pass.
inline bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace lvtest

#pragma once
// A printer for tests: it records every call made to it and what each sheet receives — texts,
// polylines, lines and rectangles with their positions in device pixels, and the font of each
// text — through a paint device of its own. Its capabilities and failures are set by the test.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextItem>

#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "display/uPrinter.h"

namespace lvtest {

struct DrawnPath {
    QRectF Bounds; // device pixels
    int Points = 0;
};

// A line of text as drawn: its runs joined.
struct RecordedLine {
    QString Text;
    QRectF Box;
    QFont Font; // of its first run
};

// What one sheet received.
struct RecordedPage {
    std::vector<std::pair<QString, QRectF>> Texts; // text and its box, device pixels
    std::vector<QFont> TextFonts;                  // the font of each of Texts
    std::vector<DrawnPath> Polylines;              // curves and polygon outlines
    std::vector<QLineF> Lines;
    std::vector<QRectF> Rects;

    // The texts joined into lines: a line of mixed scripts (Cyrillic and Latin) arrives in several
    // runs, each starting where the previous one ended, on the same baseline.
    std::vector<RecordedLine> TextLines() const {
        std::vector<RecordedLine> lines;
        for (size_t i = 0; i < Texts.size(); ++i) {
            const auto& [text, box] = Texts[i];
            if (!lines.empty()) {
                RecordedLine& last = lines.back();
                if (std::abs(last.Box.bottom() - box.bottom()) < 1 &&
                    std::abs(last.Box.right() - box.left()) < 1) {
                    last.Text += text;
                    last.Box |= box;
                    continue;
                }
            }
            lines.push_back({text, box, i < TextFonts.size() ? TextFonts[i] : QFont()});
        }
        return lines;
    }
    // The boxes of the texts equal to `text`.
    std::vector<QRectF> Boxes(const QString& text) const {
        std::vector<QRectF> r;
        for (const auto& [t, box] : Texts)
            if (t == text) r.push_back(box);
        return r;
    }
    // Polylines of at least `minPoints` points (curves, not glyph outlines) inside `area`.
    int CurvesIn(const QRectF& area, int minPoints = 20) const {
        int n = 0;
        for (const DrawnPath& p : Polylines)
            if (p.Points >= minPoints && area.adjusted(-1, -1, 1, 1).contains(p.Bounds)) ++n;
        return n;
    }
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    RecordedPage* Page = nullptr;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & QPaintEngine::DirtyTransform) m_transform = state.transform();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        if (!Page) return;
        m_run = false;
        const QRectF box(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        Page->Texts.emplace_back(item.text(), m_transform.mapRect(box));
        Page->TextFonts.push_back(item.font());
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (!Page || count <= 0) return;
        if (mode == PolylineMode && count > 1) {
            for (int i = 1; i < count; ++i)
                segment(m_transform.map(QLineF(points[i - 1], points[i])));
            return;
        }
        QPolygonF poly;
        for (int i = 0; i < count; ++i)
            poly << m_transform.map(points[i]);
        shape(poly);
    }
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override {
        std::vector<QPointF> f(points, points + count);
        drawPolygon(f.data(), count, mode);
    }
    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i)
            segment(m_transform.map(lines[i]));
    }
    void drawLines(const QLine* lines, int count) override {
        for (int i = 0; i < count; ++i)
            segment(m_transform.map(QLineF(lines[i])));
    }
    void drawRects(const QRectF* rects, int count) override {
        if (!Page) return;
        m_run = false;
        for (int i = 0; i < count; ++i)
            Page->Rects.push_back(m_transform.mapRect(rects[i]));
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }
    void drawPath(const QPainterPath& path) override {
        if (!Page) return;
        if (path.elementCount() == 2 && path.elementAt(0).isMoveTo() && path.elementAt(1).isLineTo()) {
            segment(m_transform.map(QLineF(path.elementAt(0), path.elementAt(1))));
            return;
        }
        const QList<QPolygonF> polygons = path.toSubpathPolygons(m_transform);
        if (polygons.size() == 1) {
            shape(polygons.front());
            return;
        }
        m_run = false;
        Page->Polylines.push_back({m_transform.map(path).boundingRect(), int(path.elementCount())});
    }
    Type type() const override { return QPaintEngine::User; }

private:
    // A closed shape: a rectangle when it has four corners joined by level and upright edges.
    void shape(QPolygonF poly) {
        m_run = false;
        if (poly.size() == 5 && poly.first() == poly.last()) poly.removeLast();
        bool rect = poly.size() == 4;
        for (int i = 0; rect && i < 4; ++i) {
            const QPointF a = poly[i], b = poly[(i + 1) % 4];
            rect = a.x() == b.x() || a.y() == b.y();
        }
        if (rect)
            Page->Rects.push_back(poly.boundingRect());
        else
            Page->Polylines.push_back({poly.boundingRect(), int(poly.size())});
    }

    // Segments that join end to start make one polyline (a curve arrives as many lines).
    void segment(const QLineF& l) {
        if (!Page) return;
        Page->Lines.push_back(l);
        const QRectF box = QRectF(l.p1(), l.p2()).normalized();
        if (m_run && !Page->Polylines.empty() && l.p1() == m_runEnd) {
            DrawnPath& run = Page->Polylines.back();
            run.Bounds = run.Bounds | box;
            ++run.Points;
        } else {
            DrawnPath run;
            run.Bounds = box;
            run.Points = 2;
            Page->Polylines.push_back(run);
        }
        m_run = true;
        m_runEnd = l.p2();
    }

    QTransform m_transform;
    bool m_run = false;
    QPointF m_runEnd;
};

// A sheet of `size` device pixels at the resolution pictures are recorded in.
class RecordingDevice : public QPaintDevice {
public:
    QSize Size{794, 1123};
    RecordingEngine Engine;
    QPaintEngine* paintEngine() const override { return const_cast<RecordingEngine*>(&Engine); }

protected:
    int metric(PaintDeviceMetric m) const override {
        const int dpi = lv::PictureResolution();
        switch (m) {
        case PdmWidth:
            return Size.width();
        case PdmHeight:
            return Size.height();
        case PdmWidthMM:
            return int(Size.width() * 25.4 / dpi);
        case PdmHeightMM:
            return int(Size.height() * 25.4 / dpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return dpi;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 1 << 24;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }
};

class RecordingPrinter : public lv::IPrinter {
public:
    // --- what the printer is and does (set by the test)
    bool MakesCopies = true; // CanCopy
    bool KnowsOrientation = true;
    bool RefusesCopies = false; // SetCopies answers false
    bool FailsToBegin = false;  // BeginDoc answers nullptr (no printer)
    int FailNewPageAt = 0;      // the n-th NewPage of a job fails (0: never)
    lv::TPrintOrientation Orient = lv::TPrintOrientation::Portrait;
    int Paper = 9;
    QSize Portrait{794, 1123}; // the printable area in portrait
    QPoint Offset{0, 0};

    // --- what happened
    std::vector<std::string> Calls; // "SetCopies 2", "SetOrientation L", "SetPaperSize 9", "BeginDoc",
                                    // "NewPage", "EndDoc", "Abort"
    std::deque<RecordedPage> Pages; // the sheets of the last job
    int Copies = 1;
    int Submitted = 0; // jobs ended by EndDoc
    int Aborted = 0;
    bool InJob() const { return m_painter.isActive(); }

    bool CanCopy() const override { return MakesCopies; }
    bool SetCopies(int copies) override {
        Calls.push_back("SetCopies " + std::to_string(copies));
        if (RefusesCopies) return false;
        Copies = copies;
        return true;
    }
    bool CanOrient() const override { return KnowsOrientation; }
    std::optional<lv::TPrintOrientation> Orientation() const override {
        return KnowsOrientation ? std::optional(Orient) : std::nullopt;
    }
    bool SetOrientation(lv::TPrintOrientation o) override {
        Calls.push_back(o == lv::TPrintOrientation::Landscape ? "SetOrientation L" : "SetOrientation P");
        if (!KnowsOrientation || InJob()) return false;
        Orient = o;
        return true;
    }
    int PaperSize() const override { return Paper; }
    bool SetPaperSize(int code) override {
        Calls.push_back("SetPaperSize " + std::to_string(code));
        if (InJob()) return false;
        Paper = code;
        return true;
    }

    QPainter* BeginDoc(const QString&) override {
        Calls.push_back("BeginDoc");
        if (FailsToBegin || InJob()) return nullptr;
        Pages.clear();
        Pages.emplace_back();
        m_newPages = 0;
        m_device.Size = PageSize();
        m_device.Engine.Page = &Pages.back();
        m_painter.begin(&m_device);
        return &m_painter;
    }
    QSize PageSize() const override {
        return Orient == lv::TPrintOrientation::Landscape ? Portrait.transposed() : Portrait;
    }
    QPoint PrintingOffset() const override { return Offset; }
    bool NewPage() override {
        Calls.push_back("NewPage");
        if (!InJob() || ++m_newPages == FailNewPageAt) return false;
        Pages.emplace_back();
        m_device.Engine.Page = &Pages.back();
        return true;
    }
    bool EndDoc() override {
        Calls.push_back("EndDoc");
        if (!InJob()) return false;
        m_painter.end();
        m_device.Engine.Page = nullptr;
        ++Submitted;
        return true;
    }
    void Abort() override {
        Calls.push_back("Abort");
        if (!InJob()) return;
        m_painter.end();
        m_device.Engine.Page = nullptr;
        Pages.clear();
        ++Aborted;
    }

    // How often a call was made.
    int Count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : Calls)
            n += c == call;
        return n;
    }

private:
    RecordingDevice m_device;
    QPainter m_painter;
    int m_newPages = 0;
};

} // namespace lvtest

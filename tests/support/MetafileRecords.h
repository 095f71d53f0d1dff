#pragma once
// Windows metafiles read back record by record, independently of the writer: the structure a
// reader relies on (the header's signature and sizes, records that tile the file, the end record
// last) and what the records say (texts with their positions and character advances, pens,
// brushes, fonts, clip rectangles, the coordinates of lines and rectangles).

#include <QPoint>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/Cp1251.h"

namespace lvtest {

struct MetafileText {
    QString Text;
    QPoint At;       // the reference point, logical units
    int Advance = 0; // the characters' advances added up
};

struct MetafilePen {
    uint32_t Style = 0; // 0 solid, 1 dashed, 2 dotted, 5 none
    int Width = 0;
    uint32_t Colour = 0; // 0x00BBGGRR
};

struct MetafileBrush {
    uint32_t Style = 0; // 0 solid, 1 none
    uint32_t Colour = 0;
};

struct MetafileFont {
    int Height = 0, Width = 0, Escapement = 0, Weight = 0;
    uint8_t CharSet = 0;
    QString Face;
};

struct ParsedMetafile {
    std::string Error; // empty when the structure is sound
    bool Ok() const { return Error.empty(); }
    std::vector<uint32_t> Types; // record types (EMF) or functions (WMF), in order
    std::vector<MetafileText> Texts;
    std::vector<MetafilePen> Pens;
    std::vector<MetafileBrush> Brushes;
    std::vector<MetafileFont> Fonts;
    std::vector<QRect> Clips;      // intersected clip rectangles, logical (right, bottom excluded)
    std::vector<QRect> Rectangles; // logical, from the corner to the far corner
    std::vector<std::vector<QPoint>> Polylines; // logical
    // EMF: the records about objects and saved contexts as (type, handle), handle 0 for SaveDC and
    // RestoreDC.
    std::vector<std::pair<uint32_t, uint32_t>> ObjectRecords;
    QSize Extent;         // the window's extent, logical units
    QRect Frame;          // EMF: the frame in 0.01 mm; WMF: the placeable box
    int UnitsPerInch = 0; // WMF: the placeable header's units an inch
    int Count(uint32_t type) const {
        int n = 0;
        for (uint32_t t : Types)
            n += t == type;
        return n;
    }
    // The texts joined into lines: a line of mixed scripts arrives in several runs, each starting
    // where the previous one ended, on the same baseline.
    std::vector<QString> Lines(int tolerance) const {
        std::vector<QString> lines;
        const MetafileText* last = nullptr;
        int end = 0;
        for (const MetafileText& t : Texts) {
            if (last && t.At.y() == last->At.y() && std::abs(t.At.x() - end) <= tolerance)
                lines.back() += t.Text;
            else
                lines.push_back(t.Text);
            last = &t;
            end = t.At.x() + t.Advance;
        }
        return lines;
    }
};

namespace metafile_detail {

template <typename T> T At(const std::vector<uint8_t>& b, size_t offset) {
    T v{};
    if (offset + sizeof v <= b.size()) std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

} // namespace metafile_detail

// EMF record types read here.
enum EmfType : uint32_t {
    emrHeader = 1,
    emrPolygon = 3,
    emrPolyline = 4,
    emrPolyPolygon = 8,
    emrSetWindowExtEx = 9,
    emrEof = 14,
    emrSetPixelV = 15,
    emrSetBkMode = 18,
    emrSetTextColor = 24,
    emrIntersectClipRect = 30,
    emrSaveDC = 33,
    emrRestoreDC = 34,
    emrSelectObject = 37,
    emrCreatePen = 38,
    emrCreateBrushIndirect = 39,
    emrDeleteObject = 40,
    emrRectangle = 43,
    emrStretchDIBits = 81,
    emrExtCreateFontIndirectW = 82,
    emrExtTextOutW = 84,
    emrExtCreatePen = 95,
};

inline ParsedMetafile ParseEmf(const std::vector<uint8_t>& b) {
    using metafile_detail::At;
    ParsedMetafile m;
    if (b.size() < 88 || At<uint32_t>(b, 0) != emrHeader) {
        m.Error = "no header record";
        return m;
    }
    if (At<uint32_t>(b, 40) != 0x464D4520) m.Error = "no \" EMF\" signature";
    if (At<uint32_t>(b, 48) != b.size()) m.Error = "the header's size is not the file's";
    m.Frame =
        QRect(QPoint(At<int32_t>(b, 24), At<int32_t>(b, 28)), QPoint(At<int32_t>(b, 32), At<int32_t>(b, 36)));
    const uint32_t records = At<uint32_t>(b, 52);
    size_t offset = 0;
    while (offset < b.size()) {
        const uint32_t type = At<uint32_t>(b, offset), size = At<uint32_t>(b, offset + 4);
        if (size < 8 || size % 4 != 0 || offset + size > b.size()) {
            m.Error = "a record runs past the file at " + std::to_string(offset);
            return m;
        }
        m.Types.push_back(type);
        const size_t r = offset;
        if (type == emrSaveDC || type == emrRestoreDC)
            m.ObjectRecords.emplace_back(type, 0);
        else if (type == emrCreatePen || type == emrExtCreatePen || type == emrCreateBrushIndirect ||
                 type == emrExtCreateFontIndirectW || type == emrSelectObject || type == emrDeleteObject)
            m.ObjectRecords.emplace_back(type, At<uint32_t>(b, r + 8));
        switch (type) {
        case emrSetWindowExtEx:
            m.Extent = QSize(At<int32_t>(b, r + 8), At<int32_t>(b, r + 12));
            break;
        case emrCreatePen:
            m.Pens.push_back({At<uint32_t>(b, r + 12), At<int32_t>(b, r + 16), At<uint32_t>(b, r + 24)});
            break;
        case emrExtCreatePen: // the style's low byte; the geometric and end-cap bits left out
            m.Pens.push_back(
                {At<uint32_t>(b, r + 28) & 0xFF, At<int32_t>(b, r + 32), At<uint32_t>(b, r + 40)});
            break;
        case emrCreateBrushIndirect:
            m.Brushes.push_back({At<uint32_t>(b, r + 12), At<uint32_t>(b, r + 16)});
            break;
        case emrExtCreateFontIndirectW: {
            MetafileFont f{At<int32_t>(b, r + 12), At<int32_t>(b, r + 16), At<int32_t>(b, r + 20),
                           At<int32_t>(b, r + 28), At<uint8_t>(b, r + 35), {}};
            for (size_t i = 0; i < 32 && At<uint16_t>(b, r + 40 + 2 * i); ++i)
                f.Face += QChar(At<uint16_t>(b, r + 40 + 2 * i));
            m.Fonts.push_back(f);
            break;
        }
        case emrIntersectClipRect:
            m.Clips.push_back(QRect(QPoint(At<int32_t>(b, r + 8), At<int32_t>(b, r + 12)),
                                    QPoint(At<int32_t>(b, r + 16), At<int32_t>(b, r + 20))));
            break;
        case emrRectangle:
            m.Rectangles.push_back(QRect(QPoint(At<int32_t>(b, r + 8), At<int32_t>(b, r + 12)),
                                         QPoint(At<int32_t>(b, r + 16), At<int32_t>(b, r + 20))));
            break;
        case emrPolyline: {
            std::vector<QPoint> points;
            const uint32_t n = At<uint32_t>(b, r + 24);
            for (uint32_t i = 0; i < n && r + 28 + 8 * i + 8 <= r + size; ++i)
                points.emplace_back(At<int32_t>(b, r + 28 + 8 * i), At<int32_t>(b, r + 32 + 8 * i));
            m.Polylines.push_back(points);
            break;
        }
        case emrExtTextOutW: {
            const size_t t = r + 36; // the EMRTEXT
            MetafileText text;
            text.At = QPoint(At<int32_t>(b, t), At<int32_t>(b, t + 4));
            const uint32_t n = At<uint32_t>(b, t + 8), chars = At<uint32_t>(b, t + 12),
                           dx = At<uint32_t>(b, t + 36);
            if (chars + 2 * n > size || (dx && dx + 4 * n > size)) {
                m.Error = "a text runs past its record";
                return m;
            }
            for (uint32_t i = 0; i < n; ++i)
                text.Text += QChar(At<uint16_t>(b, r + chars + 2 * i));
            for (uint32_t i = 0; dx && i < n; ++i)
                text.Advance += At<int32_t>(b, r + dx + 4 * i);
            m.Texts.push_back(text);
            break;
        }
        default:
            break;
        }
        offset += size;
    }
    if (m.Types.size() != records && m.Ok()) m.Error = "the header's record count is not the file's";
    if (m.Types.back() != emrEof && m.Ok()) m.Error = "the end record is not the last";
    return m;
}

// WMF functions read here.
enum WmfFunction : uint32_t {
    metaEof = 0x0000,
    metaSaveDC = 0x001E,
    metaSetBkMode = 0x0102,
    metaSetTextAlign = 0x012E,
    metaSelectObject = 0x012D,
    metaDeleteObject = 0x01F0,
    metaRestoreDC = 0x0127,
    metaSetTextColor = 0x0209,
    metaSetWindowExt = 0x020C,
    metaCreatePenIndirect = 0x02FA,
    metaCreateFontIndirect = 0x02FB,
    metaCreateBrushIndirect = 0x02FC,
    metaPolygon = 0x0324,
    metaPolyline = 0x0325,
    metaRectangle = 0x041B,
    metaIntersectClipRect = 0x0416,
    metaPolyPolygon = 0x0538,
    metaExtTextOut = 0x0A32,
    metaStretchDIB = 0x0F43,
};

inline ParsedMetafile ParseWmf(const std::vector<uint8_t>& b) {
    using metafile_detail::At;
    ParsedMetafile m;
    constexpr size_t kPlaceable = 22;
    if (b.size() < kPlaceable + 18 || At<uint32_t>(b, 0) != 0x9AC6CDD7u) {
        m.Error = "no placeable header";
        return m;
    }
    uint16_t sum = 0;
    for (size_t i = 0; i < 10; ++i)
        sum ^= At<uint16_t>(b, 2 * i);
    if (sum != At<uint16_t>(b, 20)) m.Error = "the placeable header's checksum is wrong";
    m.Frame =
        QRect(QPoint(At<int16_t>(b, 6), At<int16_t>(b, 8)), QPoint(At<int16_t>(b, 10), At<int16_t>(b, 12)));
    m.UnitsPerInch = At<uint16_t>(b, 14);
    const size_t h = kPlaceable;
    if (At<uint16_t>(b, h + 2) != 9 || At<uint16_t>(b, h + 4) != 0x0300) m.Error = "a wrong header";
    if (size_t(At<uint32_t>(b, h + 6)) * 2 != b.size() - kPlaceable)
        m.Error = "the header's size is not the file's";
    const uint16_t objects = At<uint16_t>(b, h + 10);
    const uint32_t maxRecord = At<uint32_t>(b, h + 12);
    uint32_t largest = 0;
    size_t offset = h + 18;
    while (offset < b.size()) {
        const uint32_t words = At<uint32_t>(b, offset);
        const uint32_t function = At<uint16_t>(b, offset + 4);
        if (words < 3 || offset + 2 * size_t(words) > b.size()) {
            m.Error = "a record runs past the file at " + std::to_string(offset);
            return m;
        }
        largest = std::max(largest, words);
        m.Types.push_back(function);
        const size_t p = offset + 6; // the parameters
        switch (function) {
        case metaSetWindowExt:
            m.Extent = QSize(At<int16_t>(b, p + 2), At<int16_t>(b, p));
            break;
        case metaCreatePenIndirect:
            m.Pens.push_back({At<uint16_t>(b, p), At<int16_t>(b, p + 2), At<uint32_t>(b, p + 6)});
            break;
        case metaCreateBrushIndirect:
            m.Brushes.push_back({At<uint16_t>(b, p), At<uint32_t>(b, p + 2)});
            break;
        case metaCreateFontIndirect: {
            MetafileFont f{At<int16_t>(b, p),     At<int16_t>(b, p + 2),  At<int16_t>(b, p + 4),
                           At<int16_t>(b, p + 8), At<uint8_t>(b, p + 13), {}};
            std::string face;
            for (size_t i = 0; i < 32 && At<char>(b, p + 18 + i); ++i)
                face += At<char>(b, p + 18 + i);
            f.Face = QString::fromStdString(lv::Cp1251ToUtf8(face));
            m.Fonts.push_back(f);
            break;
        }
        case metaIntersectClipRect: // bottom, right, top, left
            m.Clips.push_back(QRect(QPoint(At<int16_t>(b, p + 6), At<int16_t>(b, p + 4)),
                                    QPoint(At<int16_t>(b, p + 2), At<int16_t>(b, p))));
            break;
        case metaRectangle:
            m.Rectangles.push_back(QRect(QPoint(At<int16_t>(b, p + 6), At<int16_t>(b, p + 4)),
                                         QPoint(At<int16_t>(b, p + 2), At<int16_t>(b, p))));
            break;
        case metaPolyline: {
            std::vector<QPoint> points;
            const int n = At<int16_t>(b, p);
            for (int i = 0; i < n; ++i)
                points.emplace_back(At<int16_t>(b, p + 2 + 4 * i), At<int16_t>(b, p + 4 + 4 * i));
            m.Polylines.push_back(points);
            break;
        }
        case metaExtTextOut: {
            MetafileText text;
            text.At = QPoint(At<int16_t>(b, p + 2), At<int16_t>(b, p));
            const int n = At<int16_t>(b, p + 4);
            const uint16_t options = At<uint16_t>(b, p + 6);
            size_t s = p + 8 + ((options & 0x0006) ? 8 : 0);
            const size_t dx = s + size_t((n + 1) / 2 * 2);
            if (n < 0 || dx > offset + 2 * size_t(words)) {
                m.Error = "a text runs past its record";
                return m;
            }
            text.Text = QString::fromStdString(
                lv::Cp1251ToUtf8(reinterpret_cast<const char*>(b.data() + s), size_t(n)));
            if (dx + 2 * size_t(n) <= offset + 2 * size_t(words))
                for (int i = 0; i < n; ++i)
                    text.Advance += At<int16_t>(b, dx + 2 * size_t(i));
            m.Texts.push_back(text);
            break;
        }
        default:
            break;
        }
        offset += 2 * size_t(words);
        if (function == metaEof) break;
    }
    if (m.Ok() && offset != b.size()) m.Error = "bytes after the end record";
    if (m.Ok() && (m.Types.empty() || m.Types.back() != metaEof)) m.Error = "the end record is not the last";
    if (m.Ok() && maxRecord < largest) m.Error = "the header's largest record is too small";
    if (m.Ok() && objects == 0 && (m.Count(metaCreatePenIndirect) || m.Count(metaCreateFontIndirect)))
        m.Error = "the header counts no objects";
    return m;
}

} // namespace lvtest

#include "printing/uMetafileWriter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>
#include <QPixmap>
#include <QTextItem>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <optional>

#include "display/GraphMath.h"
#include "display/uGraphPrint.h"
#include "display/uPrinter.h"
#include "formats/Cp1251.h"
#include "formats/SafeFile.h"
#include "trace/Errors.h"

// libUEMF last: its headers define short macros of their own (point_set, htable_*).
#include <uemf.h>
#include <uwmf.h>

namespace lv {

namespace {

const char* const kMsgMetafileFailed = "Не удается построить метафайл.";

constexpr int kEmfUnitsPerPixel = 20;
// WMF coordinates are 16-bit: the picture's larger side stays below this many units.
constexpr int kWmfMaxCoordinate = 32000;

// A logical rectangle of the file: right and bottom are the far edges, as Windows counts them.
struct TBox {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TBox&, const TBox&) = default;
};

struct TPenSpec {
    uint32_t Style = U_PS_SOLID;
    int Width = 0; // logical units
    uint32_t Colour = 0;
    friend bool operator==(const TPenSpec&, const TPenSpec&) = default;
};

struct TBrushSpec {
    bool Hollow = false;
    uint32_t Colour = 0;
    friend bool operator==(const TBrushSpec&, const TBrushSpec&) = default;
};

struct TFontSpec {
    QString Face;
    int Height = 0;     // negative: the em height, logical units
    int Width = 0;      // average character width, logical units; 0: the face's own
    int Escapement = 0; // tenths of a degree, counter-clockwise
    int Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

uint32_t colourRef(const QColor& c) {
    const QRgb rgb = c.rgb();
    return uint32_t(qRed(rgb)) | uint32_t(qGreen(rgb)) << 8 | uint32_t(qBlue(rgb)) << 16;
}

U_COLORREF toColorRef(uint32_t c) {
    return colorref3_set(uint8_t(c & 0xFF), uint8_t((c >> 8) & 0xFF), uint8_t((c >> 16) & 0xFF));
}

// --- the records of one file ----------------------------------------------------------------------

// What a format writes. Coordinates are logical units; handles are the format's object indices.
class TRecorder {
public:
    explicit TRecorder(int units) : Units(units) {}
    virtual ~TRecorder() = default;
    const int Units; // logical units per pixel

    virtual uint32_t CreatePen(const TPenSpec& spec) = 0;
    virtual uint32_t CreateBrush(const TBrushSpec& spec) = 0;
    virtual uint32_t CreateFont(const TFontSpec& spec) = 0;
    virtual void Select(uint32_t handle) = 0;
    virtual void Delete(uint32_t handle) = 0;
    virtual void TextColour(uint32_t colour) = 0;
    virtual void BkMode(bool opaque) = 0;
    virtual void BkColour(uint32_t colour) = 0;
    virtual void FillMode(bool winding) = 0;
    virtual void SaveDC() = 0;
    virtual void RestoreDC() = 0;
    virtual void IntersectClip(const TBox& box) = 0;

    virtual void Polyline(const std::vector<QPoint>& points) = 0;
    virtual void Polygons(const std::vector<std::vector<QPoint>>& polygons) = 0;
    virtual void Rectangle(const TBox& box) = 0;
    virtual void Pixel(const QPoint& at, uint32_t colour) = 0;
    // `advances`: one per character of `text`; `bounds` where the text lands.
    virtual void Text(const QPoint& at, const QString& text, const std::vector<int>& advances,
                      const TBox& bounds) = 0;
    // `image` in Format_RGB32, stretched onto `box`.
    virtual void Image(const TBox& box, const QImage& image) = 0;

    // The file; empty when it failed.
    virtual std::vector<uint8_t> Finish() = 0;

    // A record libUEMF could not make (out of memory) spoils the file; the painting goes on and
    // the file is refused at its end, never in the middle of QPainter's own calls.
    bool Failed = false;

protected:
    // Takes a record libUEMF made (nullptr when it could not) and frees it.
    void add(char* record, size_t size) {
        if (!record) {
            Failed = true;
            return;
        }
        m_bytes.insert(m_bytes.end(), reinterpret_cast<uint8_t*>(record),
                       reinterpret_cast<uint8_t*>(record) + size);
        m_largest = std::max(m_largest, size);
        ++m_count;
        std::free(record);
    }
    std::vector<uint8_t> m_bytes;
    size_t m_largest = 0;
    uint32_t m_count = 0;
};

template <typename T> void putAt(std::vector<uint8_t>& bytes, size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// Bytes of a DIB of `image` (RGB32): 32 bits a pixel, rows bottom up.
std::vector<char> dibPixels(const QImage& image) {
    const int w = image.width(), h = image.height();
    std::vector<char> px(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(px.data() + size_t(h - 1 - y) * size_t(w) * 4, image.constScanLine(y), size_t(w) * 4);
    return px;
}

struct TBitmapInfo {
    explicit TBitmapInfo(const QImage& image)
        : Info(bitmapinfo_set(
              bitmapinfoheader_set(image.width(), image.height(), 1, 32, U_BI_RGB, 0, 0, 0, 0, 0), nullptr)) {
    }
    ~TBitmapInfo() { std::free(Info); }
    TBitmapInfo(const TBitmapInfo&) = delete;
    TBitmapInfo& operator=(const TBitmapInfo&) = delete;
    PU_BITMAPINFO Info;
};

// --- EMF ----------------------------------------------------------------------------------------

class TEmfRecorder : public TRecorder {
public:
    explicit TEmfRecorder(const QSize& pixels) : TRecorder(kEmfUnitsPerPixel) {
        if (emf_htable_create(128, 128, &m_handles) != 0) {
            Failed = true;
            return;
        }
        const int dpi = PictureResolution();
        // The reference device: `dpi` pixels an inch, 20 inches square.
        const U_SIZEL device = sizel_set(20 * dpi, 20 * dpi);
        const U_SIZEL millimetres = sizel_set(508, 508);
        const U_RECTL bounds =
            rectl_set(point32_set(0, 0), point32_set(pixels.width() - 1, pixels.height() - 1));
        const U_RECTL frame =
            rectl_set(point32_set(0, 0), point32_set(int(std::lround(pixels.width() * 2540.0 / dpi)) - 1,
                                                     int(std::lround(pixels.height() * 2540.0 / dpi)) - 1));
        addRecord(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, device, millimetres, 0));
        putAt(m_bytes, offsetof(U_EMRHEADER, szlMicrometers), sizel_set(508000, 508000));
        addRecord(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        addRecord(U_EMRSETWINDOWORGEX_set(point32_set(0, 0)));
        addRecord(U_EMRSETWINDOWEXTEX_set(sizel_set(pixels.width() * Units, pixels.height() * Units)));
        addRecord(U_EMRSETVIEWPORTORGEX_set(point32_set(0, 0)));
        addRecord(U_EMRSETVIEWPORTEXTEX_set(sizel_set(pixels.width(), pixels.height())));
        addRecord(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT | U_TA_NOUPDATECP));
    }
    ~TEmfRecorder() override { emf_htable_free(&m_handles); }

    uint32_t CreatePen(const TPenSpec& s) override {
        uint32_t h = 0;
        if (s.Style == U_PS_SOLID || s.Style == U_PS_NULL) {
            addRecord(createpen_set(&h, m_handles,
                                    logpen_set(s.Style, point32_set(s.Width, 0), toColorRef(s.Colour))));
            return h;
        }
        // A styled pen wider than a device pixel is drawn solid unless it is a geometric one.
        PU_EXTLOGPEN pen = extlogpen_set(U_PS_GEOMETRIC | s.Style | U_PS_ENDCAP_FLAT, uint32_t(s.Width),
                                         U_BS_SOLID, toColorRef(s.Colour), 0, 0, nullptr);
        if (!pen) {
            Failed = true;
            return h;
        }
        addRecord(extcreatepen_set(&h, m_handles, nullptr, 0, nullptr, pen));
        std::free(pen);
        return h;
    }
    uint32_t CreateBrush(const TBrushSpec& s) override {
        uint32_t h = 0;
        addRecord(createbrushindirect_set(
            &h, m_handles, logbrush_set(s.Hollow ? U_BS_NULL : U_BS_SOLID, toColorRef(s.Colour), 0)));
        return h;
    }
    uint32_t CreateFont(const TFontSpec& s) override {
        std::vector<uint16_t> face(32, 0);
        const QString name = s.Face.left(31);
        std::copy(name.utf16(), name.utf16() + name.size(), face.begin());
        U_LOGFONT lf = logfont_set(s.Height, s.Width, s.Escapement, s.Escapement, s.Weight, s.Italic,
                                   s.Underline, s.StrikeOut, U_RUSSIAN_CHARSET, U_OUT_TT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face.data());
        uint32_t h = 0;
        addRecord(extcreatefontindirectw_set(&h, m_handles, reinterpret_cast<const char*>(&lf), nullptr));
        return h;
    }
    void Select(uint32_t h) override { addRecord(selectobject_set(h, m_handles)); }
    void Delete(uint32_t h) override { addRecord(deleteobject_set(&h, m_handles)); }
    void TextColour(uint32_t c) override { addRecord(U_EMRSETTEXTCOLOR_set(toColorRef(c))); }
    void BkMode(bool opaque) override { addRecord(U_EMRSETBKMODE_set(opaque ? U_OPAQUE : U_TRANSPARENT)); }
    void BkColour(uint32_t c) override { addRecord(U_EMRSETBKCOLOR_set(toColorRef(c))); }
    void FillMode(bool winding) override {
        addRecord(U_EMRSETPOLYFILLMODE_set(winding ? U_WINDING : U_ALTERNATE));
    }
    void SaveDC() override { addRecord(U_EMRSAVEDC_set()); }
    void RestoreDC() override { addRecord(U_EMRRESTOREDC_set(-1)); }
    void IntersectClip(const TBox& b) override { addRecord(U_EMRINTERSECTCLIPRECT_set(rect(b))); }

    void Polyline(const std::vector<QPoint>& points) override {
        const std::vector<U_POINTL> p = pointls(points);
        addRecord(U_EMRPOLYLINE_set(deviceBounds(points), uint32_t(p.size()), p.data()));
    }
    void Polygons(const std::vector<std::vector<QPoint>>& polygons) override {
        std::vector<QPoint> all;
        std::vector<uint32_t> counts;
        for (const std::vector<QPoint>& poly : polygons) {
            all.insert(all.end(), poly.begin(), poly.end());
            counts.push_back(uint32_t(poly.size()));
        }
        const std::vector<U_POINTL> p = pointls(all);
        if (polygons.size() == 1)
            addRecord(U_EMRPOLYGON_set(deviceBounds(all), uint32_t(p.size()), p.data()));
        else
            addRecord(U_EMRPOLYPOLYGON_set(deviceBounds(all), uint32_t(counts.size()), counts.data(),
                                           uint32_t(p.size()), p.data()));
    }
    void Rectangle(const TBox& b) override { addRecord(U_EMRRECTANGLE_set(rect(b))); }
    void Pixel(const QPoint& at, uint32_t c) override {
        addRecord(U_EMRSETPIXELV_set(point32_set(at.x(), at.y()), toColorRef(c)));
    }
    void Text(const QPoint& at, const QString& text, const std::vector<int>& advances,
              const TBox& bounds) override {
        std::vector<uint16_t> chars(text.utf16(), text.utf16() + text.size());
        std::vector<uint32_t> dx(advances.begin(), advances.end());
        char* body = emrtext_set(point32_set(at.x(), at.y()), uint32_t(chars.size()), 2, chars.data(),
                                 U_ETO_NONE, rectl_set(point32_set(0, 0), point32_set(-1, -1)), dx.data());
        if (!body) {
            Failed = true;
            return;
        }
        // Page units to hundredths of a millimetre, for readers in the compatible mode.
        const float scale = float(2540.0 / (PictureResolution() * Units));
        char* record = U_EMREXTTEXTOUTW_set(deviceBox(bounds), U_GM_COMPATIBLE, scale, scale,
                                            reinterpret_cast<PU_EMRTEXT>(body));
        std::free(body);
        addRecord(record);
    }
    void Image(const TBox& b, const QImage& image) override {
        const TBitmapInfo bmi(image);
        if (!bmi.Info) {
            Failed = true;
            return;
        }
        std::vector<char> px = dibPixels(image);
        addRecord(U_EMRSTRETCHDIBITS_set(deviceBox(b), point32_set(b.Left, b.Top),
                                         point32_set(b.Right - b.Left, b.Bottom - b.Top), point32_set(0, 0),
                                         point32_set(image.width(), image.height()), U_DIB_RGB_COLORS,
                                         U_SRCCOPY, bmi.Info, uint32_t(px.size()), px.data()));
    }

    std::vector<uint8_t> Finish() override {
        if (Failed) return {};
        EMFTRACK track{}; // the end record reads the palette entries from it: none
        addRecord(U_EMREOF_set(0, nullptr, &track));
        if (Failed) return {};
        putAt(m_bytes, offsetof(U_EMRHEADER, nBytes), uint32_t(m_bytes.size()));
        putAt(m_bytes, offsetof(U_EMRHEADER, nRecords), m_count);
        putAt(m_bytes, offsetof(U_EMRHEADER, nHandles), uint16_t(m_handles->peak + 1));
        return std::move(m_bytes);
    }

private:
    void addRecord(char* record) { add(record, record ? reinterpret_cast<const U_EMR*>(record)->nSize : 0); }
    static U_RECTL rect(const TBox& b) {
        return rectl_set(point32_set(b.Left, b.Top), point32_set(b.Right, b.Bottom));
    }
    static std::vector<U_POINTL> pointls(const std::vector<QPoint>& points) {
        std::vector<U_POINTL> p;
        p.reserve(points.size());
        for (const QPoint& q : points)
            p.push_back(point32_set(q.x(), q.y()));
        return p;
    }
    // Bounds of records are in device units: pixels.
    U_RECTL deviceBox(const TBox& b) const {
        auto down = [this](int v) { return int(std::floor(double(v) / Units)); };
        auto up = [this](int v) { return int(std::ceil(double(v) / Units)); };
        return rectl_set(point32_set(down(std::min(b.Left, b.Right)), down(std::min(b.Top, b.Bottom))),
                         point32_set(up(std::max(b.Left, b.Right)), up(std::max(b.Top, b.Bottom))));
    }
    U_RECTL deviceBounds(const std::vector<QPoint>& points) const {
        if (points.empty()) return rectl_set(point32_set(0, 0), point32_set(-1, -1));
        TBox b{points[0].x(), points[0].y(), points[0].x(), points[0].y()};
        for (const QPoint& p : points) {
            b.Left = std::min(b.Left, p.x());
            b.Top = std::min(b.Top, p.y());
            b.Right = std::max(b.Right, p.x());
            b.Bottom = std::max(b.Bottom, p.y());
        }
        return deviceBox(b);
    }

    EMFHANDLES* m_handles = nullptr;
};

// --- WMF ----------------------------------------------------------------------------------------

int wmfUnits(const QSize& pixels) {
    const int side = std::max({pixels.width(), pixels.height(), 1});
    return std::clamp(kWmfMaxCoordinate / side, 1, kEmfUnitsPerPixel);
}

int16_t clamp16(int v) {
    return int16_t(std::clamp(v, -32768, 32767));
}

U_POINT16 point16(int x, int y) {
    return point16_set(clamp16(x), clamp16(y));
}

class TWmfRecorder : public TRecorder {
public:
    explicit TWmfRecorder(const QSize& pixels) : TRecorder(wmfUnits(pixels)) {
        if (wmf_htable_create(128, 128, &m_handles) != 0) {
            Failed = true;
            return;
        }
        const double dpi = PictureResolution();
        U_PAIRF* inches = U_PAIRF_set(float(pixels.width() / dpi), float(pixels.height() / dpi));
        char* header = U_WMRHEADER_set(inches, unsigned(dpi * Units));
        std::free(inches);
        add(header, U_SIZE_WMRPLACEABLE + U_SIZE_WMRHEADER);
        addRecord(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        addRecord(U_WMRSETWINDOWORG_set(point16(0, 0)));
        addRecord(U_WMRSETWINDOWEXT_set(point16(pixels.width() * Units, pixels.height() * Units)));
        addRecord(U_WMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT | U_TA_NOUPDATECP));
    }
    ~TWmfRecorder() override { wmf_htable_free(&m_handles); }

    uint32_t CreatePen(const TPenSpec& s) override {
        uint32_t h = 0;
        // The older format has no geometric pens: a styled one is drawn only a device pixel wide.
        const int width = s.Style == U_PS_SOLID ? s.Width : 0;
        addRecord(wcreatepenindirect_set(
            &h, m_handles, U_PEN_set(uint16_t(s.Style), uint16_t(clamp16(width)), toColorRef(s.Colour))));
        return h;
    }
    uint32_t CreateBrush(const TBrushSpec& s) override {
        uint32_t h = 0;
        addRecord(wcreatebrushindirect_set(
            &h, m_handles, U_WLOGBRUSH_set(s.Hollow ? U_BS_NULL : U_BS_SOLID, toColorRef(s.Colour), 0)));
        return h;
    }
    uint32_t CreateFont(const TFontSpec& s) override {
        std::string face = Utf8ToCp1251(s.Face.left(31).toStdString());
        U_FONT* font = U_FONT_set(clamp16(s.Height), clamp16(s.Width), int16_t(s.Escapement),
                                  int16_t(s.Escapement), int16_t(s.Weight), s.Italic, s.Underline,
                                  s.StrikeOut, U_RUSSIAN_CHARSET, U_OUT_TT_PRECIS, U_CLIP_DEFAULT_PRECIS,
                                  U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face.data());
        uint32_t h = 0;
        if (!font) {
            Failed = true;
            return h;
        }
        char* record = wcreatefontindirect_set(&h, m_handles, font);
        std::free(font);
        addRecord(record);
        return h;
    }
    void Select(uint32_t h) override { addRecord(wselectobject_set(h, m_handles)); }
    void Delete(uint32_t h) override { addRecord(wdeleteobject_set(&h, m_handles)); }
    void TextColour(uint32_t c) override { addRecord(U_WMRSETTEXTCOLOR_set(toColorRef(c))); }
    void BkMode(bool opaque) override { addRecord(U_WMRSETBKMODE_set(opaque ? U_OPAQUE : U_TRANSPARENT)); }
    void BkColour(uint32_t c) override { addRecord(U_WMRSETBKCOLOR_set(toColorRef(c))); }
    void FillMode(bool winding) override {
        addRecord(U_WMRSETPOLYFILLMODE_set(winding ? U_WINDING : U_ALTERNATE));
    }
    void SaveDC() override { addRecord(U_WMRSAVEDC_set()); }
    void RestoreDC() override { addRecord(U_WMRRESTOREDC_set(-1)); }
    void IntersectClip(const TBox& b) override { addRecord(U_WMRINTERSECTCLIPRECT_set(rect(b))); }

    void Polyline(const std::vector<QPoint>& points) override {
        const std::vector<U_POINT16> p = points16(points);
        addRecord(U_WMRPOLYLINE_set(uint16_t(p.size()), p.data()));
    }
    void Polygons(const std::vector<std::vector<QPoint>>& polygons) override {
        std::vector<QPoint> all;
        std::vector<uint16_t> counts;
        for (const std::vector<QPoint>& poly : polygons) {
            all.insert(all.end(), poly.begin(), poly.end());
            counts.push_back(uint16_t(poly.size()));
        }
        const std::vector<U_POINT16> p = points16(all);
        if (polygons.size() == 1)
            addRecord(U_WMRPOLYGON_set(uint16_t(p.size()), p.data()));
        else
            addRecord(U_WMRPOLYPOLYGON_set(uint16_t(counts.size()), counts.data(), p.data()));
    }
    void Rectangle(const TBox& b) override { addRecord(U_WMRRECTANGLE_set(rect(b))); }
    void Pixel(const QPoint& at, uint32_t c) override {
        addRecord(U_WMRSETPIXEL_set(toColorRef(c), point16(at.x(), at.y())));
    }
    void Text(const QPoint& at, const QString& text, const std::vector<int>& advances, const TBox&) override {
        // One byte a character in the font's code page; a character outside it is "?".
        std::string bytes;
        std::vector<int16_t> dx;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool pair =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            const QString ch = text.mid(i, pair ? 2 : 1);
            const std::string coded = Utf8ToCp1251(ch.toStdString());
            bytes += coded.empty() ? std::string("?") : coded.substr(0, 1);
            dx.push_back(clamp16(advances[size_t(i)] + (pair ? advances[size_t(i + 1)] : 0)));
            if (pair) ++i;
        }
        addRecord(U_WMREXTTEXTOUT_set(point16(at.x(), at.y()), int16_t(bytes.size()), 0, bytes.data(),
                                      dx.data(), U_RECT16{}));
    }
    void Image(const TBox& b, const QImage& image) override {
        const TBitmapInfo bmi(image);
        if (!bmi.Info) {
            Failed = true;
            return;
        }
        std::vector<char> px = dibPixels(image);
        addRecord(U_WMRSTRETCHDIB_set(point16(b.Left, b.Top), point16(b.Right - b.Left, b.Bottom - b.Top),
                                      point16(0, 0), point16(image.width(), image.height()), U_DIB_RGB_COLORS,
                                      U_SRCCOPY, bmi.Info, uint32_t(px.size()), px.data()));
    }

    std::vector<uint8_t> Finish() override {
        if (Failed) return {};
        addRecord(U_WMREOF_set());
        if (Failed) return {};
        // The header counts 16-bit words of the metafile proper, after the placeable header.
        const size_t header = U_SIZE_WMRPLACEABLE;
        const uint32_t words = uint32_t((m_bytes.size() - header) / 2);
        putAt(m_bytes, header + offsetof(U_WMRHEADER, Sizew), uint16_t(words & 0xFFFF));
        putAt(m_bytes, header + offsetof(U_WMRHEADER, Sizew) + 2, uint16_t(words >> 16));
        putAt(m_bytes, header + offsetof(U_WMRHEADER, nObjects),
              uint16_t(std::max<uint32_t>(m_handles->peak, 1)));
        putAt(m_bytes, header + offsetof(U_WMRHEADER, maxSize), uint32_t(m_largest / 2));
        return std::move(m_bytes);
    }

private:
    void addRecord(char* record) {
        add(record, record ? U_wmr_size(reinterpret_cast<const U_METARECORD*>(record)) : 0);
    }
    static U_RECT16 rect(const TBox& b) {
        return U_RECT16{clamp16(b.Left), clamp16(b.Top), clamp16(b.Right), clamp16(b.Bottom)};
    }
    static std::vector<U_POINT16> points16(const std::vector<QPoint>& points) {
        std::vector<U_POINT16> p;
        p.reserve(points.size());
        for (const QPoint& q : points)
            p.push_back(point16(q.x(), q.y()));
        return p;
    }

    WMFHANDLES* m_handles = nullptr;
};

// --- the device context the file builds up --------------------------------------------------------

// What a file's device context holds. SaveDC keeps a copy and RestoreDC brings it back, selected
// objects included, so an object a saved copy holds is deleted only once no copy refers to it.
struct TDcState {
    uint32_t Pen = 0, Brush = 0, Font = 0; // 0: the context's own, none of ours
    std::optional<TPenSpec> PenSpec;
    std::optional<TBrushSpec> BrushSpec;
    std::optional<TFontSpec> FontSpec;
    std::optional<uint32_t> TextColour;
    bool Opaque = false; // the prologue leaves the background transparent
    std::optional<uint32_t> BkColour;
    std::optional<bool> Winding;
};

class TDeviceContext {
public:
    explicit TDeviceContext(TRecorder& r) : m_r(r) { m_r.BkMode(false); }

    void UsePen(const TPenSpec& s) {
        if (m_cur.PenSpec == s) return;
        replace(&TDcState::Pen, m_r.CreatePen(s));
        m_cur.PenSpec = s;
    }
    void UseBrush(const TBrushSpec& s) {
        if (m_cur.BrushSpec == s) return;
        replace(&TDcState::Brush, m_r.CreateBrush(s));
        m_cur.BrushSpec = s;
    }
    void UseFont(const TFontSpec& s) {
        if (m_cur.FontSpec == s) return;
        replace(&TDcState::Font, m_r.CreateFont(s));
        m_cur.FontSpec = s;
    }
    void UseTextColour(uint32_t c) {
        if (m_cur.TextColour == c) return;
        m_r.TextColour(c);
        m_cur.TextColour = c;
    }
    void UseBackground(bool opaque, uint32_t colour) {
        if (m_cur.Opaque != opaque) {
            m_r.BkMode(opaque);
            m_cur.Opaque = opaque;
        }
        if (opaque && m_cur.BkColour != colour) {
            m_r.BkColour(colour);
            m_cur.BkColour = colour;
        }
    }
    void UseFillMode(bool winding) {
        if (m_cur.Winding == winding) return;
        m_r.FillMode(winding);
        m_cur.Winding = winding;
    }
    // The clip of the next drawing: none, or a rectangle. A new clip starts from the saved context
    // (the clip records only ever narrow it).
    void UseClip(const std::optional<TBox>& clip) {
        if (clip == m_clip) return;
        if (m_saved) restore();
        if (clip) {
            m_r.SaveDC();
            m_saved = m_cur;
            m_r.IntersectClip(*clip);
        }
        m_clip = clip;
    }

private:
    void replace(uint32_t TDcState::*member, uint32_t handle) {
        m_r.Select(handle);
        const uint32_t old = m_cur.*member;
        if (old != 0 && !(m_saved && (*m_saved).*member == old)) m_r.Delete(old);
        m_cur.*member = handle;
    }
    void restore() {
        m_r.RestoreDC();
        for (uint32_t TDcState::*member : {&TDcState::Pen, &TDcState::Brush, &TDcState::Font}) {
            const uint32_t current = m_cur.*member;
            if (current != 0 && current != (*m_saved).*member) m_r.Delete(current);
        }
        m_cur = *m_saved;
        m_saved.reset();
    }

    TRecorder& m_r;
    TDcState m_cur;
    std::optional<TDcState> m_saved;
    std::optional<TBox> m_clip;
};

} // namespace

// --- the engine ---------------------------------------------------------------------------------

class TMetafileEngine : public QPaintEngine {
public:
    TMetafileEngine(const QSize& size, TMetafileFormat format)
        : QPaintEngine(QPaintEngine::AllFeatures), m_size(size), m_format(format),
          m_units(format == TMetafileFormat::Emf ? kEmfUnitsPerPixel : wmfUnits(size)) {}

    int Units() const { return m_units; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    bool begin(QPaintDevice*) override {
        m_bytes.clear();
        if (m_format == TMetafileFormat::Emf)
            m_recorder = std::make_unique<TEmfRecorder>(m_size);
        else
            m_recorder = std::make_unique<TWmfRecorder>(m_size);
        if (m_recorder->Failed) return false;
        m_dc = std::make_unique<TDeviceContext>(*m_recorder);
        m_transform = QTransform();
        m_clip.reset();
        m_clipEnabled = false;
        return true;
    }
    bool end() override {
        if (!m_recorder) return false;
        flush();
        m_dc->UseClip(std::nullopt);
        m_bytes = m_recorder->Finish();
        m_dc.reset();
        m_recorder.reset();
        return true;
    }

    void updateState(const QPaintEngineState& state) override {
        const DirtyFlags flags = state.state();
        // The transform first: a clip arrives in the coordinates of the transform it came with.
        if (flags & DirtyTransform) m_transform = state.transform();
        if (flags & DirtyPen) m_pen = state.pen();
        if (flags & DirtyBrush) m_brush = state.brush();
        if (flags & DirtyBackgroundMode) m_opaque = state.backgroundMode() == Qt::OpaqueMode;
        if (flags & DirtyBackground) m_background = state.backgroundBrush().color();
        if (flags & DirtyClipEnabled) m_clipEnabled = state.isClipEnabled();
        if (flags & DirtyClipRegion)
            clipTo(m_transform.mapRect(QRectF(state.clipRegion().boundingRect())), state.clipOperation());
        if (flags & DirtyClipPath)
            clipTo(m_transform.map(state.clipPath()).boundingRect(), state.clipOperation());
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (!m_recorder || count <= 0) return;
        std::vector<QPoint> p;
        p.reserve(size_t(count));
        for (int i = 0; i < count; ++i)
            p.push_back(logical(points[i]));
        if (mode == PolylineMode) {
            polyline(std::move(p));
            return;
        }
        if (!useShape(mode == WindingMode)) return;
        m_recorder->Polygons({p});
    }
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override {
        std::vector<QPointF> f(points, points + count);
        drawPolygon(f.data(), count, mode);
    }

    void drawLines(const QLineF* lines, int count) override {
        if (!m_recorder) return;
        for (int i = 0; i < count; ++i)
            polyline({logical(lines[i].p1()), logical(lines[i].p2())});
    }
    void drawLines(const QLine* lines, int count) override {
        std::vector<QLineF> f(lines, lines + count);
        drawLines(f.data(), count);
    }

    void drawRects(const QRectF* rects, int count) override {
        if (!m_recorder) return;
        const bool upright = m_transform.type() <= QTransform::TxScale;
        for (int i = 0; i < count; ++i) {
            const QRectF& r = rects[i];
            if (!upright) {
                const QPointF corners[] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
                drawPolygon(corners, 4, OddEvenMode);
                continue;
            }
            if (!useShape(false)) return;
            const QPoint a = logical(r.topLeft()), b = logical(r.bottomRight());
            m_recorder->Rectangle(TBox{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                                       std::max(a.y(), b.y())});
        }
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }

    void drawPoints(const QPointF* points, int count) override {
        if (!m_recorder || m_pen.style() == Qt::NoPen) return;
        useClip();
        const uint32_t colour = colourRef(m_pen.color());
        for (int i = 0; i < count; ++i)
            m_recorder->Pixel(logical(points[i]), colour);
    }
    void drawPoints(const QPoint* points, int count) override {
        std::vector<QPointF> f(points, points + count);
        drawPoints(f.data(), count);
    }

    void drawPath(const QPainterPath& path) override {
        if (!m_recorder || path.isEmpty()) return;
        const QList<QPolygonF> polygons = path.toSubpathPolygons(m_transform);
        std::vector<std::vector<QPoint>> shapes;
        for (const QPolygonF& poly : polygons) {
            std::vector<QPoint> p;
            for (const QPointF& q : poly)
                p.push_back(QPoint(int(std::lround(q.x() * m_units)), int(std::lround(q.y() * m_units))));
            if (p.size() >= 2) shapes.push_back(std::move(p));
        }
        if (shapes.empty()) return;
        if (m_brush.style() != Qt::NoBrush) {
            if (useShape(path.fillRule() == Qt::WindingFill)) m_recorder->Polygons(shapes);
            return;
        }
        for (std::vector<QPoint>& p : shapes)
            polyline(std::move(p));
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QString text = item.text();
        if (!m_recorder || text.isEmpty()) return;
        const QFont font = item.font();
        useClip();
        m_dc->UseFont(fontSpec(font));
        m_dc->UseTextColour(colourRef(m_pen.color()));
        m_dc->UseBackground(m_opaque, colourRef(m_background));

        // Every character where Qt puts it, so the text fits where it was fitted whatever the
        // reader's own widths.
        const QFontMetricsF metrics(font, paintDevice());
        const double along = std::hypot(m_transform.m11(), m_transform.m12()) * m_units;
        std::vector<int> advances;
        advances.reserve(size_t(text.size()));
        long previous = 0;
        for (qsizetype i = 1; i <= text.size(); ++i) {
            const long next = std::lround(metrics.horizontalAdvance(text.left(i)) * along);
            advances.push_back(int(next - previous));
            previous = next;
        }
        const QRectF box = m_transform.mapRect(
            QRectF(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent()));
        m_recorder->Text(logical(p), text, advances, boxOf(box));
    }

    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }
    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags) override {
        if (!m_recorder || image.isNull()) return;
        const QImage part = image.copy(sr.toAlignedRect());
        if (part.isNull()) return;
        // Transparency is not written: what shows through is the white of the paper.
        QImage opaque(part.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        {
            QPainter painter(&opaque);
            painter.drawImage(0, 0, part);
        }
        useClip();
        m_recorder->Image(boxOf(m_transform.mapRect(r)), opaque);
    }

    Type type() const override { return QPaintEngine::User; }

private:
    QPoint logical(const QPointF& p) const {
        const QPointF d = m_transform.map(p);
        return QPoint(int(std::lround(d.x() * m_units)), int(std::lround(d.y() * m_units)));
    }
    TBox boxOf(const QRectF& r) const {
        return TBox{int(std::lround(r.left() * m_units)), int(std::lround(r.top() * m_units)),
                    int(std::lround(r.right() * m_units)), int(std::lround(r.bottom() * m_units))};
    }

    void clipTo(const QRectF& r, Qt::ClipOperation op) {
        switch (op) {
        case Qt::NoClip:
            m_clip.reset();
            break;
        case Qt::ReplaceClip:
            m_clip = r;
            break;
        case Qt::IntersectClip:
            m_clip = m_clip ? (*m_clip & r) : r;
            break;
        }
    }
    std::optional<TBox> effectiveClip() const {
        if (!m_clipEnabled || !m_clip) return std::nullopt;
        return boxOf(m_clip->isValid() ? *m_clip : QRectF());
    }
    // Every record but a continued polyline goes after this: the polyline waiting is written
    // first, with the pen and clip it was begun with.
    void useClip() {
        flush();
        m_dc->UseClip(effectiveClip());
    }

    // Lines that join end to start under the same pen and clip make one polyline: a curve
    // arrives as many lines, drawn one by one.
    void polyline(std::vector<QPoint> points) {
        if (points.size() < 2) return;
        if (!m_run.empty() && m_run.back() == points.front() && m_run.size() + points.size() < kMaxRun &&
            m_runPen == penSpec() && m_runClip == effectiveClip()) {
            m_run.insert(m_run.end(), points.begin() + 1, points.end());
            return;
        }
        if (!usePen()) return;
        m_run = std::move(points);
        m_runPen = penSpec();
        m_runClip = effectiveClip();
    }
    void flush() {
        if (m_run.empty()) return;
        const std::vector<QPoint> run = std::move(m_run);
        m_run.clear();
        m_recorder->Polyline(run);
    }

    // False when the pen draws nothing.
    bool usePen() {
        if (m_pen.style() == Qt::NoPen || m_pen.brush().style() == Qt::NoBrush) return false;
        useClip();
        m_dc->UsePen(penSpec());
        return true;
    }
    // Pen and brush for a shape; false when neither draws.
    bool useShape(bool winding) {
        const bool pen = m_pen.style() != Qt::NoPen && m_pen.brush().style() != Qt::NoBrush;
        const bool brush = m_brush.style() != Qt::NoBrush;
        if (!pen && !brush) return false;
        useClip();
        m_dc->UsePen(pen ? penSpec() : TPenSpec{U_PS_NULL, 0, 0});
        m_dc->UseBrush(brush ? TBrushSpec{false, colourRef(m_brush.color())} : TBrushSpec{true, 0});
        m_dc->UseFillMode(winding);
        return true;
    }
    TPenSpec penSpec() const {
        TPenSpec s;
        s.Colour = colourRef(m_pen.color());
        switch (m_pen.style()) {
        case Qt::DashLine:
        case Qt::CustomDashLine:
            s.Style = U_PS_DASH;
            break;
        case Qt::DotLine:
            s.Style = U_PS_DOT;
            break;
        case Qt::DashDotLine:
            s.Style = U_PS_DASHDOT;
            break;
        case Qt::DashDotDotLine:
            s.Style = U_PS_DASHDOTDOT;
            break;
        default:
            s.Style = U_PS_SOLID;
            break;
        }
        double px = m_pen.widthF();
        if (!m_pen.isCosmetic()) px *= std::sqrt(std::abs(m_transform.determinant()));
        s.Width = int(std::lround(std::max(px, 1.0) * m_units));
        return s;
    }
    TFontSpec fontSpec(const QFont& font) const {
        TFontSpec s;
        s.Face = font.family();
        const double em =
            font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * PictureResolution() / 72.0;
        const double sx = std::hypot(m_transform.m11(), m_transform.m12());
        const double sy = std::hypot(m_transform.m21(), m_transform.m22());
        s.Height = -std::max(1, int(std::lround(em * sy * m_units)));
        const int stretch = font.stretch() > 0 ? font.stretch() : 100;
        if (stretch != 100 || std::abs(sx - sy) > 1e-9) {
            QFont plain = font;
            plain.setStretch(100);
            const double average = QFontMetricsF(plain, paintDevice()).averageCharWidth();
            s.Width = std::max(1, int(std::lround(average * stretch / 100.0 * sx * m_units)));
        }
        const double degrees = std::atan2(-m_transform.m12(), m_transform.m11()) * 180.0 / std::numbers::pi;
        s.Escapement = (int(std::lround(degrees * 10)) % 3600 + 3600) % 3600;
        s.Weight = std::clamp(int(font.weight()), 1, 1000);
        s.Italic = font.italic();
        s.Underline = font.underline();
        s.StrikeOut = font.strikeOut();
        return s;
    }

    QSize m_size;
    TMetafileFormat m_format;
    int m_units;
    std::unique_ptr<TRecorder> m_recorder;
    std::unique_ptr<TDeviceContext> m_dc;
    std::vector<uint8_t> m_bytes;

    QTransform m_transform;
    QPen m_pen;
    QBrush m_brush;
    bool m_opaque = false;
    QColor m_background = Qt::white;
    bool m_clipEnabled = false;
    std::optional<QRectF> m_clip; // device pixels

    // WMF counts a polyline's points in 16 bits.
    static constexpr size_t kMaxRun = 16000;
    std::vector<QPoint> m_run; // the polyline waiting for more
    TPenSpec m_runPen;
    std::optional<TBox> m_runClip;
};

// --- the device -----------------------------------------------------------------------------------

TMetafileDevice::TMetafileDevice(const QSize& size, TMetafileFormat format)
    : m_size(size.expandedTo(QSize(1, 1))), m_format(format),
      m_engine(std::make_unique<TMetafileEngine>(m_size, format)) {}

TMetafileDevice::~TMetafileDevice() = default;

QPaintEngine* TMetafileDevice::paintEngine() const {
    return m_engine.get();
}

const std::vector<uint8_t>& TMetafileDevice::Bytes() const {
    return m_engine->Bytes();
}

int TMetafileDevice::UnitsPerPixel() const {
    return m_engine->Units();
}

int TMetafileDevice::metric(PaintDeviceMetric metric) const {
    const int dpi = PictureResolution();
    switch (metric) {
    case PdmWidth:
        return m_size.width();
    case PdmHeight:
        return m_size.height();
    case PdmWidthMM:
        return int(std::lround(m_size.width() * 25.4 / dpi));
    case PdmHeightMM:
        return int(std::lround(m_size.height() * 25.4 / dpi));
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return dpi;
    case PdmDepth:
        return 24;
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

std::vector<uint8_t> MetafileBytes(const QPicture& picture, TMetafileFormat format) {
    const QSize size = PictureSize(picture);
    TMetafileDevice device(size, format);
    QPainter painter;
    if (!painter.begin(&device)) throw Exception(kMsgMetafileFailed);
    DrawPictureInto(painter, picture, TRect{0, 0, std::max(size.width(), 1), std::max(size.height(), 1)});
    painter.end();
    if (device.Bytes().empty()) throw Exception(kMsgMetafileFailed);
    return device.Bytes();
}

TMetafileFormat MetafileFormatOf(const QString& fileName) {
    return fileName.endsWith(QStringLiteral(".wmf"), Qt::CaseInsensitive) ? TMetafileFormat::Wmf
                                                                          : TMetafileFormat::Emf;
}

void SaveMetafile(const QPicture& picture, const QString& fileName) {
    WriteFileReplacing(fileName.toStdString(), MetafileBytes(picture, MetafileFormatOf(fileName)));
}

} // namespace lv

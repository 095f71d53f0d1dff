#pragma once
// Windows metafiles written on Linux, where Qt writes none: a paint device whose engine turns
// QPainter's calls into the records of an enhanced metafile (EMF) or of the older Windows
// metafile (WMF), built with libUEMF. The same painting code that draws the screen, the printer
// and PDF draws the metafile; a QPicture is written by playing it onto the device.
//
// Units: the device is as large as the picture, at the resolution pictures are recorded in. The
// file maps each of its pixels onto UnitsPerPixel() logical units (an anisotropic mapping onto a
// reference device of that resolution), so that a reader enlarging the picture keeps the fine
// positions of lines and characters.
//
// What is written: polylines, polygons and rectangles with solid or styled (dotted, dashed) pens
// and solid or no brush; text with its face, height, weight, narrowing (QFont::stretch) and
// direction, every character placed where Qt places it; single pixels and images; transforms
// (applied to the coordinates, to the text's height, width and direction) and rectangular
// clipping. Gradients and patterns are written in their colour, transparency is not written.

#include <QPaintDevice>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QPicture;

namespace lv {

enum class TMetafileFormat { Emf, Wmf };

class TMetafileEngine;

class TMetafileDevice : public QPaintDevice {
public:
    // A picture of `size` pixels (at least 1 × 1).
    TMetafileDevice(const QSize& size, TMetafileFormat format);
    ~TMetafileDevice() override;
    TMetafileDevice(const TMetafileDevice&) = delete;
    TMetafileDevice& operator=(const TMetafileDevice&) = delete;

    QPaintEngine* paintEngine() const override;
    // The file, once a painter has ended on the device (empty before).
    const std::vector<uint8_t>& Bytes() const;
    // Logical units of the file per pixel of the device: 20 in EMF; in WMF, whose coordinates are
    // 16-bit, as many as keep the picture within them (20 at most).
    int UnitsPerPixel() const;
    TMetafileFormat Format() const { return m_format; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize m_size;
    TMetafileFormat m_format;
    std::unique_ptr<TMetafileEngine> m_engine;
};

// The metafile of `picture`, whose bounding rectangle becomes the file's frame.
std::vector<uint8_t> MetafileBytes(const QPicture& picture, TMetafileFormat format);
// The older format for a name ending in ".wmf" (any letter case), else the enhanced one.
TMetafileFormat MetafileFormatOf(const QString& fileName);
// Writes `picture` as a metafile of the format its name asks for, replacing the file atomically
// (lv::Exception on failure).
void SaveMetafile(const QPicture& picture, const QString& fileName);

} // namespace lv

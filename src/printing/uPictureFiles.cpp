#include "printing/uPictureFiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QSvgGenerator>

#include <cmath>
#include <functional>

#include "display/uGraphPrint.h"
#include "display/uPrinter.h"
#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "printing/uMetafileWriter.h"

namespace lv {

namespace {

[[noreturn]] void cannotSave(const QString& fileName) {
    throw EFileError(FormatS(kMsgCannotSaveFile, fileName.toStdString()), EIO);
}

// The bytes a device writes into memory, written over the file once they are complete.
void writeThrough(const QString& fileName, const std::function<bool(QIODevice&)>& write) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!write(buffer)) cannotSave(fileName);
    buffer.close();
    WriteFileReplacing(fileName.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool paint(QPaintDevice& device, const QPicture& picture, const QSize& size) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    DrawPictureInto(painter, picture, TRect{0, 0, size.width(), size.height()});
    return painter.end();
}

// A document of one page as large as the picture, without margins.
void writePdf(const QPicture& picture, const QString& fileName) {
    const QSize size = PictureSize(picture).expandedTo(QSize(1, 1));
    const int dpi = PictureResolution();
    writeThrough(fileName, [&](QIODevice& out) {
        QPdfWriter pdf(&out);
        pdf.setResolution(dpi);
        pdf.setCreator(QStringLiteral("Lumvaris"));
        pdf.setTitle(QFileInfo(fileName).completeBaseName());
        const QSizeF mm(size.width() * 25.4 / dpi, size.height() * 25.4 / dpi);
        pdf.setPageLayout(QPageLayout(QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                                      QPageLayout::Portrait, QMarginsF()));
        return paint(pdf, picture, size);
    });
}

void writeSvg(const QPicture& picture, const QString& fileName) {
    const QSize size = PictureSize(picture).expandedTo(QSize(1, 1));
    writeThrough(fileName, [&](QIODevice& out) {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(PictureResolution());
        svg.setTitle(QFileInfo(fileName).completeBaseName());
        svg.setDescription(QStringLiteral("Lumvaris"));
        return paint(svg, picture, size);
    });
}

void writePng(const QPicture& picture, const QString& fileName) {
    const QSize size = PictureSize(picture).expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    // The picture's text keeps its size only at the resolution it was recorded in.
    const int dotsPerMetre = int(std::lround(PictureResolution() / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    if (!paint(image, picture, size)) cannotSave(fileName);
    writeThrough(fileName, [&](QIODevice& out) { return image.save(&out, "PNG"); });
}

} // namespace

int PictureFormatOfName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("bmp")) return pfBitmap;
    if (suffix == QLatin1String("emf") || suffix == QLatin1String("wmf")) return pfMetafile;
    if (suffix == QLatin1String("pdf")) return pfPdf;
    if (suffix == QLatin1String("svg")) return pfSvg;
    if (suffix == QLatin1String("png")) return pfPng;
    return 0;
}

bool HasExtension(const QString& fileName) {
    return QFileInfo(fileName).fileName().contains(u'.');
}

QString PictureExtension(int format) {
    switch (format) {
    case pfMetafile:
        return QStringLiteral(".emf");
    case pfPdf:
        return QStringLiteral(".pdf");
    case pfSvg:
        return QStringLiteral(".svg");
    case pfPng:
        return QStringLiteral(".png");
    default:
        return QStringLiteral(".bmp");
    }
}

void WritePictureFile(const QPicture& picture, const QString& fileName, int format) {
    switch (format) {
    case pfMetafile:
        SaveMetafile(picture, fileName);
        break;
    case pfPdf:
        writePdf(picture, fileName);
        break;
    case pfSvg:
        writeSvg(picture, fileName);
        break;
    case pfPng:
        writePng(picture, fileName);
        break;
    default:
        SaveBitmap16(picture, fileName);
        break;
    }
}

void WriteBitmapFile(const QImage& image, const QString& fileName) {
    // The format is named: a ".emf" name would have Qt guess none.
    writeThrough(fileName, [&](QIODevice& out) {
        return image.convertToFormat(QImage::Format_RGB32).save(&out, "BMP");
    });
}

} // namespace lv

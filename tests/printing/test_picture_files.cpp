// Picture files of the export: kinds by extension, and every kind written, opened again by its
// own reader (Qt's image readers, the metafile records, poppler, Qt's SVG renderer) at the
// picture's size, replacing the old file whole or not at all.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPicture>
#include <QRegularExpression>
#include <QSvgRenderer>

#include "display/uGraphPrint.h"
#include "formats/FileErrors.h"
#include "printing/uPictureFiles.h"
#include "support/MetafileRecords.h"
#include "support/PdfTools.h"
#include "support/TempDir.h"

using namespace lv;

namespace {

// A picture of 300 × 120 pixels: a frame and a word.
std::unique_ptr<QPicture> Picture() {
    auto picture = std::make_unique<QPicture>();
    {
        QPainter p(picture.get());
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(0, 0, 299, 119);
        QFont f(QStringLiteral("Times New Roman"));
        f.setPixelSize(24);
        p.setFont(f);
        p.drawText(QPoint(20, 60), QStringLiteral("Затухание"));
    }
    picture->setBoundingRect(QRect(0, 0, 300, 120));
    return picture;
}

int DarkShare(const QImage& image) {
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark * 1000 / (image.width() * image.height());
}

} // namespace

TEST(PictureFiles, KindsFollowTheExtension) {
    struct Row {
        const char* name;
        int format;
        bool extension;
    };
    const Row rows[] = {
        {"a.bmp", pfBitmap, true},
        {"a.EMF", pfMetafile, true},
        {"a.Wmf", pfMetafile, true},
        {"a.pdf", pfPdf, true},
        {"a.svg", pfSvg, true},
        {"a.PNG", pfPng, true},
        {"a.jpg", 0, true},
        {"/x.emf/a", 0, false},
        {"a", 0, false},
        {"/d/.emf", pfMetafile, true}, // a name that is all extension
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PictureFormatOfName(QString::fromUtf8(r.name)), r.format) << r.name;
        EXPECT_EQ(HasExtension(QString::fromUtf8(r.name)), r.extension) << r.name;
    }
    EXPECT_EQ(PictureExtension(pfBitmap), QStringLiteral(".bmp"));
    EXPECT_EQ(PictureExtension(pfMetafile), QStringLiteral(".emf"));
    EXPECT_EQ(PictureExtension(pfPdf), QStringLiteral(".pdf"));
    EXPECT_EQ(PictureExtension(pfSvg), QStringLiteral(".svg"));
    EXPECT_EQ(PictureExtension(pfPng), QStringLiteral(".png"));
    EXPECT_EQ(PictureExtension(0), QStringLiteral(".bmp"));
}

TEST(PictureFiles, EveryKindOpensAtThePicturesSize) {
    lvtest::TempDir dir;
    const std::unique_ptr<QPicture> picture = Picture();
    const QSize size(300, 120);
    auto path = [&](const char* name) { return QString::fromStdString(dir.file(name)); };

    WritePictureFile(*picture, path("p.bmp"), pfBitmap);
    const QImage bmp(path("p.bmp"), "BMP");
    EXPECT_EQ(bmp.size(), size);
    EXPECT_EQ(QImageReader(path("p.bmp")).imageFormat(), QImage::Format_Indexed8); // 16 colours at most
    EXPECT_EQ(lvtest::readBytes(path("p.bmp").toStdString())[28], 4);              // bits a pixel

    WritePictureFile(*picture, path("p.emf"), pfMetafile);
    WritePictureFile(*picture, path("p.wmf"), pfMetafile);
    const lvtest::ParsedMetafile emf = lvtest::ParseEmf(lvtest::readBytes(path("p.emf").toStdString()));
    const lvtest::ParsedMetafile wmf = lvtest::ParseWmf(lvtest::readBytes(path("p.wmf").toStdString()));
    EXPECT_TRUE(emf.Ok()) << emf.Error;
    EXPECT_TRUE(wmf.Ok()) << wmf.Error;
    EXPECT_EQ(emf.Lines(20), std::vector<QString>{QStringLiteral("Затухание")});
    EXPECT_EQ(wmf.Lines(20), std::vector<QString>{QStringLiteral("Затухание")});

    // One page of the picture's size in points (¾ of a pixel at 96 dots an inch), its text
    // readable.
    WritePictureFile(*picture, path("p.pdf"), pfPdf);
    EXPECT_EQ(lvtest::PdfPages(path("p.pdf")), 1);
    const QString info = QString::fromUtf8(lvtest::RunTool("pdfinfo", {path("p.pdf")}));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    ASSERT_TRUE(m.hasMatch()) << info.toStdString();
    const double pointsPerPixel = 72.0 / QPicture().logicalDpiX();
    EXPECT_NEAR(m.captured(1).toDouble(), size.width() * pointsPerPixel, 1);
    EXPECT_NEAR(m.captured(2).toDouble(), size.height() * pointsPerPixel, 1);
    EXPECT_TRUE(QString::fromUtf8(lvtest::RunTool("pdftotext", {path("p.pdf"), "-"}))
                    .contains(QStringLiteral("Затухание")));

    WritePictureFile(*picture, path("p.svg"), pfSvg);
    QSvgRenderer svg(path("p.svg"));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox(), QRect(QPoint(0, 0), size));
    QFile svgFile(path("p.svg"));
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(svgFile.readAll()).contains(QStringLiteral("Затухание")));

    WritePictureFile(*picture, path("p.png"), pfPng);
    const QImage png(path("p.png"), "PNG");
    EXPECT_EQ(png.size(), size);
    // Black on white.
    EXPECT_GT(DarkShare(png), 10);
    EXPECT_LT(DarkShare(png), 200);
    EXPECT_EQ(png.pixel(150, 100), 0xFFFFFFFFu);
}

TEST(PictureFiles, AScreenCopyIsABitmapWhateverItsNameAndAFailedWriteKeepsTheOldFile) {
    lvtest::TempDir dir;
    QImage screen(64, 32, QImage::Format_ARGB32);
    screen.fill(QColor(10, 120, 200));
    const std::string emf = dir.file("screen.emf");
    WriteBitmapFile(screen, QString::fromStdString(emf));
    const std::vector<uint8_t> bytes = lvtest::readBytes(emf);
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24); // bits a pixel
    const QImage back(QString::fromStdString(emf), "BMP");
    EXPECT_EQ(back.size(), screen.size());
    EXPECT_EQ(back.pixel(5, 5), QColor(10, 120, 200).rgb());

    // A write-protected file stays as it was, and nothing is left beside it.
    ASSERT_EQ(::chmod(emf.c_str(), 0444), 0);
    const std::unique_ptr<QPicture> picture = Picture();
    for (int format : {pfBitmap, pfMetafile, pfPdf, pfSvg, pfPng})
        EXPECT_THROW(WritePictureFile(*picture, QString::fromStdString(emf), format), EFileError) << format;
    EXPECT_THROW(WriteBitmapFile(screen, QString::fromStdString(emf)), EFileError);
    EXPECT_EQ(lvtest::readBytes(emf), bytes);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"screen.emf"});
}

// The metafile writer, read back record by record in both formats: the file's structure, the
// drawing primitives in fine logical units (lines joined into polylines, dotted pens, white
// fills, bold and narrowed text, turned text, transforms, clipping, pixels and images), the
// objects' lifetimes across saved contexts, a printed page's parameter lines, the atomic file
// and a real reader (LibreOffice) rendering what it reads.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QProcess>
#include <QStandardPaths>

#include <map>
#include <set>

#include "formats/FileErrors.h"
#include "printing/uMetafileWriter.h"
#include "printing/uTracePage.h"
#include "support/MetafileRecords.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::ParsedMetafile;

namespace {

ParsedMetafile Parse(const std::vector<uint8_t>& bytes, TMetafileFormat format) {
    return format == TMetafileFormat::Emf ? lvtest::ParseEmf(bytes) : lvtest::ParseWmf(bytes);
}

const char* Name(TMetafileFormat format) {
    return format == TMetafileFormat::Emf ? "EMF" : "WMF";
}

// The record kinds of either format.
struct Kinds {
    uint32_t Polyline, Rectangle, Clip, SaveDC, RestoreDC, Image, Pixel;
};
Kinds KindsOf(TMetafileFormat format) {
    using namespace lvtest;
    if (format == TMetafileFormat::Emf)
        return {emrPolyline,  emrRectangle,     emrIntersectClipRect, emrSaveDC,
                emrRestoreDC, emrStretchDIBits, emrSetPixelV};
    return {metaPolyline,   metaRectangle, metaIntersectClipRect, metaSaveDC, metaRestoreDC,
            metaStretchDIB, 0x041F /* SETPIXEL */};
}

const TMetafileFormat kFormats[] = {TMetafileFormat::Emf, TMetafileFormat::Wmf};

QFont PixelFont(const QString& family, int pixels, bool bold = false, int stretch = 100) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStretch(stretch);
    return f;
}

// A page with every line of the parameter block.
TTracePageData PageData() {
    TTracePageData d;
    d.HasStore = true;
    d.Caption = QStringLiteral("Волокно 7");
    d.FileName = QStringLiteral("/data/155/007.tra");
    d.CursorPos = 3.25;
    d.Distance12 = 2.5;
    d.Loss12 = 0.75;
    d.Distance23 = 1.25;
    d.Loss23 = 0.5;
    d.WaveLength = 1.55;
    d.GroupIndex = 1.4682;
    d.Attenuator = 3;
    d.Range = 40;
    d.ViewWidth = 20;
    d.ViewHeight = 25;
    d.PulseWidth = 300;
    d.Averages = 4096;
    d.AveragingText = QStringLiteral("Время");
    d.ApproxMode = 0;
    return d;
}

TPageContext PageContext() {
    TPageContext c;
    c.Now = QDateTime(QDate(2024, 6, 3), QTime(9, 15, 0));
    c.Locale = QLocale(QLocale::Russian, QLocale::Russia);
    c.DateText = QStringLiteral("03.06.2024   Понедельник");
    return c;
}

// A graph picture: a frame, a dotted grid and a falling curve.
std::unique_ptr<QPicture> GraphPicture(const QSize& size) {
    auto picture = std::make_unique<QPicture>();
    {
        QPainter p(picture.get());
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        for (int x = size.width() / 10; x < size.width(); x += size.width() / 10)
            p.drawLine(x, 0, x, size.height() - 1);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(0, 0, size.width() - 1, size.height() - 1);
        std::vector<QLine> curve;
        for (int x = 10; x < size.width() - 10; x += 4)
            curve.emplace_back(x, 20 + x * (size.height() - 40) / size.width(), x + 4,
                               20 + (x + 4) * (size.height() - 40) / size.width());
        p.drawLines(curve.data(), int(curve.size()));
    }
    picture->setBoundingRect(QRect(QPoint(0, 0), size));
    return picture;
}

TMainSettings PageSettings() {
    TMainSettings s;
    s.ShowWorkerNum = true;
    s.WorkerNum = "0042";
    s.ShowFileCaption = true;
    s.ShowFileName = true;
    s.ParamsBorder = true;
    s.GraphBorder = true;
    return s;
}

} // namespace

TEST(MetafileWriter, ItsHeaderDescribesThePictureInFineUnits) {
    struct Row {
        QSize size;
        TMetafileFormat format;
        int units;
    };
    // WMF coordinates are 16-bit: a wide picture gets fewer units a pixel.
    const Row rows[] = {{{400, 300}, TMetafileFormat::Emf, 20},
                        {{400, 300}, TMetafileFormat::Wmf, 20},
                        {{4000, 100}, TMetafileFormat::Emf, 20},
                        {{4000, 100}, TMetafileFormat::Wmf, 8}};
    for (const Row& r : rows) {
        TMetafileDevice device(r.size, r.format);
        EXPECT_EQ(device.width(), r.size.width());
        EXPECT_EQ(device.logicalDpiY(), QPicture().logicalDpiY());
        {
            QPainter p(&device);
            p.drawLine(0, 0, 10, 10);
        }
        EXPECT_EQ(device.UnitsPerPixel(), r.units) << Name(r.format);
        const ParsedMetafile m = Parse(device.Bytes(), r.format);
        ASSERT_TRUE(m.Ok()) << Name(r.format) << ": " << m.Error;
        EXPECT_EQ(m.Extent, r.size * r.units) << Name(r.format);
        const int dpi = device.logicalDpiX();
        if (r.format == TMetafileFormat::Emf) {
            // Hundredths of a millimetre, both edges inside.
            EXPECT_EQ(m.Frame, QRect(0, 0, int(std::lround(r.size.width() * 2540.0 / dpi)),
                                     int(std::lround(r.size.height() * 2540.0 / dpi))));
        } else {
            EXPECT_EQ(m.UnitsPerInch, dpi * r.units);
            EXPECT_EQ(m.Frame.topLeft(), QPoint(0, 0));
            EXPECT_NEAR(m.Frame.right(), r.size.width() * r.units, 1);
            EXPECT_NEAR(m.Frame.bottom(), r.size.height() * r.units, 1);
        }
    }
}

TEST(MetafileWriter, DrawingBecomesRecordsInFineUnits) {
    const QFont narrowed = PixelFont(QStringLiteral("Times New Roman"), 20, true, 60);
    const QString label = QStringLiteral("Маркер 1-2");
    for (TMetafileFormat format : kFormats) {
        SCOPED_TRACE(Name(format));
        TMetafileDevice device(QSize(400, 300), format);
        {
            QPainter p(&device);
            p.setPen(QPen(Qt::black, 1));
            const QLine joined[] = {{10, 10, 100, 10}, {100, 10, 100, 50}, {100, 50, 150, 50}, {0, 0, 5, 5}};
            p.drawLines(joined, 4);
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.drawLine(0, 100, 399, 100);
            p.fillRect(QRect(20, 200, 50, 30), Qt::white);
            p.setFont(narrowed);
            p.setPen(Qt::black);
            p.drawText(QPoint(30, 150), label);
            p.save();
            p.translate(200, 150);
            p.rotate(-90);
            p.setFont(PixelFont(QStringLiteral("Arial"), 12));
            p.drawText(0, 0, QStringLiteral("дБ"));
            p.restore();
            p.save();
            p.setClipRect(QRect(50, 60, 70, 80));
            p.translate(5, 5);
            p.scale(2, 2);
            p.setPen(QPen(Qt::black, 0));
            p.drawLine(0, 0, 10, 0);
            p.restore();
            p.drawPoint(300, 250);
            QImage image(2, 2, QImage::Format_RGB32);
            image.fill(Qt::black);
            p.drawImage(QRect(300, 260, 20, 20), image);
        }
        const int u = device.UnitsPerPixel();
        const ParsedMetafile m = Parse(device.Bytes(), format);
        ASSERT_TRUE(m.Ok()) << m.Error;
        const Kinds kinds = KindsOf(format);

        // Lines joined end to start make one polyline; a line elsewhere starts another.
        ASSERT_GE(m.Polylines.size(), 3u);
        EXPECT_EQ(
            m.Polylines[0],
            (std::vector<QPoint>{{10 * u, 10 * u}, {100 * u, 10 * u}, {100 * u, 50 * u}, {150 * u, 50 * u}}));
        EXPECT_EQ(m.Polylines[1], (std::vector<QPoint>{{0, 0}, {5 * u, 5 * u}}));
        // The transformed line, under its clip.
        EXPECT_TRUE(std::find(m.Polylines.begin(), m.Polylines.end(),
                              std::vector<QPoint>{{5 * u, 5 * u}, {25 * u, 5 * u}}) != m.Polylines.end());
        ASSERT_EQ(m.Clips.size(), 1u);
        EXPECT_EQ(m.Clips[0], QRect(QPoint(50 * u, 60 * u), QPoint(120 * u, 140 * u)));
        EXPECT_EQ(m.Count(kinds.SaveDC), 1);
        EXPECT_EQ(m.Count(kinds.RestoreDC), 1);

        // Pens one pixel wide in logical units; a dotted one too where the format has geometric
        // pens (EMF), else as thin as the reader draws (a wider one would be drawn solid).
        std::set<std::pair<uint32_t, int>> pens;
        for (const lvtest::MetafilePen& pen : m.Pens)
            pens.emplace(pen.Style, pen.Width);
        EXPECT_TRUE(pens.count({0, u}));                                      // solid
        EXPECT_TRUE(pens.count({2, format == TMetafileFormat::Emf ? u : 0})); // dotted
        EXPECT_TRUE(pens.count({5, 0}));                                      // none, under the white fill
        // The white fill: a solid white brush and its rectangle.
        bool white = false;
        for (const lvtest::MetafileBrush& b : m.Brushes)
            white |= b.Style == 0 && b.Colour == 0xFFFFFF;
        EXPECT_TRUE(white);
        EXPECT_TRUE(std::find(m.Rectangles.begin(), m.Rectangles.end(),
                              QRect(QPoint(20 * u, 200 * u), QPoint(70 * u, 230 * u))) != m.Rectangles.end());

        // Text: bold, its em height, narrowed to 60 % of its face's average width, every
        // character placed as Qt places it.
        ASSERT_GE(m.Fonts.size(), 2u);
        const lvtest::MetafileFont& f = m.Fonts[0];
        EXPECT_EQ(f.Face, QStringLiteral("Times New Roman"));
        EXPECT_EQ(f.Height, -20 * u);
        EXPECT_EQ(f.Weight, 700);
        EXPECT_EQ(f.CharSet, 204);
        QFont plain = narrowed;
        plain.setStretch(100);
        EXPECT_NEAR(f.Width, QFontMetricsF(plain, &device).averageCharWidth() * 0.6 * u, 1);
        ASSERT_GE(m.Texts.size(), 2u);
        EXPECT_EQ(m.Texts[0].Text, label);
        EXPECT_EQ(m.Texts[0].At, QPoint(30 * u, 150 * u));
        EXPECT_NEAR(m.Texts[0].Advance, QFontMetricsF(narrowed, &device).horizontalAdvance(label) * u, 1);
        // Turned text runs upward from its point.
        EXPECT_EQ(m.Fonts[1].Escapement, 900);
        EXPECT_EQ(m.Fonts[1].Height, -12 * u);
        EXPECT_EQ(m.Texts[1].Text, QStringLiteral("дБ"));
        EXPECT_EQ(m.Texts[1].At, QPoint(200 * u, 150 * u));

        EXPECT_EQ(m.Count(kinds.Pixel), 1);
        EXPECT_EQ(m.Count(kinds.Image), 1);
    }
}

TEST(MetafileWriter, AnObjectGoesOnlyWhenNoSavedContextHoldsIt) {
    TMetafileDevice device(QSize(200, 200), TMetafileFormat::Emf);
    {
        QPainter p(&device);
        // Pens change inside and across clips: the pen selected when a clip began comes back
        // when it ends, so it must outlive the clip.
        const Qt::GlobalColor colours[] = {Qt::black, Qt::red, Qt::blue, Qt::green};
        for (int round = 0; round < 3; ++round) {
            p.setPen(QPen(colours[round], 1));
            p.drawLine(0, round, 10, round);
            p.save();
            p.setClipRect(QRect(0, 0, 100, 100 - round));
            for (int i = 0; i < 4; ++i) {
                p.setPen(QPen(colours[(round + i) % 4], 1 + i % 2));
                p.drawLine(0, i, 50, i);
                p.fillRect(QRect(0, 10 * i, 5, 5), colours[i]);
            }
            p.restore();
            p.drawLine(0, 20, 10, 20);
        }
    }
    const ParsedMetafile m = lvtest::ParseEmf(device.Bytes());
    ASSERT_TRUE(m.Ok()) << m.Error;
    ASSERT_GE(m.Count(lvtest::emrSaveDC), 3);

    // Play the records' object bookkeeping as a reader does.
    std::map<uint32_t, uint32_t> kindOf; // live handle → its creating record
    std::map<uint32_t, uint32_t> selected, saved;
    bool inSave = false;
    for (const auto& [type, handle] : m.ObjectRecords) {
        switch (type) {
        case lvtest::emrCreatePen:
        case lvtest::emrCreateBrushIndirect:
        case lvtest::emrExtCreateFontIndirectW:
            ASSERT_FALSE(kindOf.count(handle)) << "handle " << handle << " made twice";
            kindOf[handle] = type;
            break;
        case lvtest::emrSelectObject:
            ASSERT_TRUE(kindOf.count(handle)) << "handle " << handle << " selected but not alive";
            selected[kindOf[handle]] = handle;
            break;
        case lvtest::emrDeleteObject:
            ASSERT_TRUE(kindOf.count(handle)) << "handle " << handle << " deleted twice";
            for (const auto& [kind, h] : selected)
                EXPECT_NE(h, handle) << "handle " << handle << " deleted while selected";
            for (const auto& [kind, h] : saved)
                EXPECT_NE(h, handle) << "handle " << handle << " deleted while a saved context holds it";
            kindOf.erase(handle);
            break;
        case lvtest::emrSaveDC:
            ASSERT_FALSE(inSave);
            saved = selected;
            inSave = true;
            break;
        case lvtest::emrRestoreDC:
            ASSERT_TRUE(inSave);
            selected = saved;
            saved.clear();
            inSave = false;
            for (const auto& [kind, h] : selected)
                EXPECT_TRUE(kindOf.count(h)) << "the restored context holds the deleted handle " << h;
            break;
        }
    }
    EXPECT_FALSE(inSave);
    // Nothing piles up: only what is selected, at most, is left alive.
    EXPECT_LE(kindOf.size(), 3u);
}

TEST(MetafileWriter, APrintedPageKeepsEveryParameterLineAsText) {
    const QSize graph(640, 320);
    const std::unique_ptr<QPicture> graphPicture = GraphPicture(graph);
    for (const TTracePageLayout layout : {TTracePageLayout::SideColumn, TTracePageLayout::Compact}) {
        const TComposedPage page =
            StandardPage(graph, TRect{0, 0, 800, 320}, layout, PageData(), PageSettings(), PageContext());
        const std::unique_ptr<QPicture> picture = ComposedPagePicture(*graphPicture, page);
        for (TMetafileFormat format : kFormats) {
            SCOPED_TRACE(Name(format));
            const std::vector<uint8_t> bytes = MetafileBytes(*picture, format);
            const ParsedMetafile m = Parse(bytes, format);
            ASSERT_TRUE(m.Ok()) << m.Error;
            TMetafileDevice probe(page.Size, format);
            const int u = probe.UnitsPerPixel();
            EXPECT_EQ(m.Extent, page.Size * u);
            const std::vector<QString> lines = m.Lines(u);
            for (const TPageText& t : page.Texts)
                EXPECT_TRUE(std::find(lines.begin(), lines.end(), t.Text) != lines.end())
                    << "line " << t.Line << " \"" << t.Text.toStdString() << "\" is missing";
            // Each line clipped to its rectangle, the curve as polylines.
            EXPECT_GE(m.Clips.size(), page.Texts.size());
            size_t longest = 0;
            for (const std::vector<QPoint>& p : m.Polylines)
                longest = std::max(longest, p.size());
            EXPECT_GT(longest, 100u);
        }
    }
}

TEST(MetafileWriter, AFileIsReplacedWholeOrNotAtAll) {
    EXPECT_EQ(MetafileFormatOf(QStringLiteral("/a/b.WMF")), TMetafileFormat::Wmf);
    EXPECT_EQ(MetafileFormatOf(QStringLiteral("/a.wmf/b.emf")), TMetafileFormat::Emf);
    EXPECT_EQ(MetafileFormatOf(QStringLiteral("/a/b")), TMetafileFormat::Emf);

    lvtest::TempDir dir;
    const std::unique_ptr<QPicture> picture = GraphPicture(QSize(200, 100));
    for (const char* name : {"pic.emf", "pic.WMF", "pic"}) {
        const QString file = QString::fromStdString(dir.file(name));
        lvtest::writeBytes(file.toStdString(), {1, 2, 3});
        SaveMetafile(*picture, file);
        const std::vector<uint8_t> bytes = lvtest::readBytes(file.toStdString());
        const TMetafileFormat format = MetafileFormatOf(file);
        EXPECT_EQ(bytes, MetafileBytes(*picture, format)) << name;
        EXPECT_TRUE(Parse(bytes, format).Ok()) << name;
    }
    const std::string gone = dir.file("нет/pic.emf");
    try {
        SaveMetafile(*picture, QString::fromStdString(gone));
        ADD_FAILURE() << "written into a missing folder";
    } catch (const EFileError& e) {
        EXPECT_NE(e.Message().find("нет/pic.emf"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(dir.entries().size(), 3u); // no temporary file left
}

TEST(MetafileWriter, LibreOfficeDrawsThePageItReads) {
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        if (qEnvironmentVariableIntValue("LUMVARIS_REQUIRE_OFFICE")) FAIL() << "soffice is missing";
        GTEST_SKIP() << "no soffice to render metafiles";
    }
    lvtest::TempDir dir;
    const QSize graph(640, 320);
    const TComposedPage page = StandardPage(graph, TRect{0, 0, 800, 320}, TTracePageLayout::SideColumn,
                                            PageData(), PageSettings(), PageContext());
    const std::unique_ptr<QPicture> picture = ComposedPagePicture(*GraphPicture(graph), page);
    QStringList files;
    for (const char* name : {"page-emf.emf", "page-wmf.wmf"}) {
        files << QString::fromStdString(dir.file(name));
        SaveMetafile(*picture, files.back());
    }
    QProcess p;
    p.start(office, QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                QStringLiteral("-env:UserInstallation=file://") +
                                    QString::fromStdString(dir.file("profile")),
                                QStringLiteral("--convert-to"), QStringLiteral("png"),
                                QStringLiteral("--outdir"), QString::fromStdString(dir.path())} +
                        files);
    ASSERT_TRUE(p.waitForFinished(180000)) << "soffice did not finish";
    for (const char* name : {"page-emf.png", "page-wmf.png"}) {
        SCOPED_TRACE(name);
        const QImage image =
            QImage(QString::fromStdString(dir.file(name))).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(image.isNull()) << p.readAllStandardError().toStdString();
        // Draw puts the picture on a sheet of its own: what is drawn has the page's proportions,
        // the parameter column at its left holding text, the graph at its right its frame, grid
        // and curve.
        QRect ink;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_NEAR(double(ink.width()) / ink.height(), double(page.Size.width()) / page.Size.height(), 0.05);
        const int column = ink.left() + ink.width() / 5;
        int inkLeft = 0, inkRight = 0, white = 0;
        for (int y = ink.top() + 3; y < ink.bottom() - 3; ++y)
            for (int x = ink.left() + 3; x < ink.right() - 3; ++x) {
                if (std::abs(x - column) < 4) continue; // the frames between them
                if (qGray(image.pixel(x, y)) > 200)
                    ++white;
                else
                    ++(x < column ? inkLeft : inkRight);
            }
        const int all = ink.width() * ink.height();
        EXPECT_GT(white, all * 7 / 10);
        EXPECT_GT(inkLeft, all / 100);
        EXPECT_GT(inkRight, all / 200);
    }
}

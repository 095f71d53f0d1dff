// Printing into real PDF files, read back with poppler's tools: sheets counted by pdfinfo, text
// placed and sized by pdftotext -bbox at printer resolutions of 300, 600 and 1200 dpi, pages
// rendered by pdftoppm; copies by hand, aborted jobs, and the print dialog's file for one job.

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>

#include "display/TraceStores.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "shell/ShellTestSupport.h"
#include "support/PdfTools.h"
#include "support/TempDir.h"

using namespace lv;

namespace {

using lvtest::FindWord;
using lvtest::PdfPages;
using lvtest::PdfWords;
using lvtest::RunTool;
using Word = lvtest::PdfWord;

// A main graph as the main window sets it up, with traces captioned "Волокно1" … (one word each,
// for pdftotext).
struct Graph {
    TMainGraph G;
    explicit Graph(int n) {
        G.SetHeaderContent(hcCaption);
        lvtest::SizeContent(G, 700, 320);
        for (int i = 0; i < n; ++i)
            lvtest::AddTrace(G, lvtest::Fibre(400, unsigned(i + 1)), 0.02, 0,
                             "Волокно" + std::to_string(i + 1));
    }
    QString Caption(int listIndex) const { return G.Data().Item(listIndex)->Caption(); }
};

// Frame `frame` (from 1) of the marking on a sheet of `printer`, in points, as the queue maps
// millimetres onto the printable area.
QRectF FrameInPoints(const TPrintQueue& q, QPrinter& printer, int frame) {
    const QRectF paint = printer.pageLayout().paintRect(QPageLayout::Point);
    const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    const TRect f = q.FrameRect(frame);
    const double sx = paint.width() / paper.width(), sy = paint.height() / paper.height();
    return QRectF(QPointF(paint.left() + f.Left * sx, paint.top() + f.Top * sy),
                  QPointF(paint.left() + f.Right * sx, paint.top() + f.Bottom * sy));
}

} // namespace

TEST(PdfPrint, FourTracesOnTwoFramesMakeTwoSheetsWithTheirCaptionsInTheirFramesAtAnyResolution) {
    lvtest::TempDir dir;
    for (int dpi : {300, 600, 1200}) {
        Graph g(4);
        const QString pdf = QString::fromStdString(dir.file("queue" + std::to_string(dpi) + ".pdf"));
        TQtPrinter printer(pdf);
        printer.Printer().setResolution(dpi);
        TPrintQueue q;
        q.AddStandardMarkings();
        q.SelectMarking(1); // "2 кадра"
        q.SetPrinter(&printer);

        g.G.PreparePrint();
        g.G.PrintToQueue(q);
        EXPECT_EQ(q.Count(), 0) << dpi;
        EXPECT_EQ(printer.Printer().resolution(), dpi); // given back after the job
        ASSERT_EQ(PdfPages(pdf), 2) << dpi;

        // Each caption whole, in the header of its own frame, and as wide as the view draws it
        // scaled with the picture.
        const std::vector<std::vector<Word>> pages = PdfWords(pdf);
        ASSERT_EQ(pages.size(), 2u);
        const QSize view = g.G.ClientRect().size();
        for (int i = 0; i < 4; ++i) {
            const int sheet = i / 2, frame = i % 2 + 1;
            const QRectF cell = FrameInPoints(q, printer.Printer(), frame);
            const std::vector<QRectF> boxes = FindWord(pages[size_t(sheet)], g.Caption(i));
            ASSERT_EQ(boxes.size(), 1u) << g.Caption(i).toStdString() << " at " << dpi << " dpi";
            EXPECT_TRUE(cell.contains(boxes[0])) << g.Caption(i).toStdString() << " at " << dpi << " dpi";
            EXPECT_LT(boxes[0].top(), cell.top() + cell.height() / 4); // the header, at the top
            // Points per view pixel: the picture is fitted into its frame.
            const double scale = std::min(cell.width() / view.width(), cell.height() / view.height());
            const double drawn = QFontMetricsF(g.G.HeaderFont().Font).horizontalAdvance(g.Caption(i)) * scale;
            EXPECT_NEAR(boxes[0].width(), drawn, drawn * 0.08)
                << g.Caption(i).toStdString() << " at " << dpi << " dpi";
        }
        // Anything but the graph's own texts? Nothing cut: every word of a caption is whole.
        for (const auto& page : pages)
            for (const Word& w : page)
                if (w.Text.startsWith(QStringLiteral("Вол"))) {
                    EXPECT_EQ(w.Text.size(), 8) << w.Text.toStdString();
                }

        if (dpi == 1200) {
            // The pages as they look: the curves fill the frames, the space between stays white.
            const QString png = QString::fromStdString(dir.file("sheet"));
            RunTool("pdftoppm", {"-r", "36", "-png", "-f", "1", "-l", "1", pdf, png});
            const QImage image(png + QStringLiteral("-1.png"));
            ASSERT_FALSE(image.isNull());
            const double pxPerPt =
                image.width() / printer.Printer().pageLayout().fullRect(QPageLayout::Point).width();
            auto dark = [&](const QRectF& ptRect) {
                const QRect r(QPoint(int(ptRect.left() * pxPerPt), int(ptRect.top() * pxPerPt)),
                              QPoint(int(ptRect.right() * pxPerPt), int(ptRect.bottom() * pxPerPt)));
                int n = 0;
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        n += qGray(image.pixel(std::clamp(x, 0, image.width() - 1),
                                               std::clamp(y, 0, image.height() - 1))) < 128;
                return n;
            };
            const QRectF first = FrameInPoints(q, printer.Printer(), 1),
                         second = FrameInPoints(q, printer.Printer(), 2);
            EXPECT_GT(dark(first), 200);
            EXPECT_GT(dark(second), 200);
            EXPECT_EQ(dark(QRectF(QPointF(first.left(), first.bottom() + 1),
                                  QPointF(first.right(), second.top() - 1))),
                      0);
        }
    }
}

TEST(PdfPrint, APdfGetsItsCopiesByHandSheetBySheet) {
    lvtest::TempDir dir;
    Graph g(3);
    const QString pdf = QString::fromStdString(dir.file("copies.pdf"));
    TQtPrinter printer(pdf);
    EXPECT_FALSE(printer.CanCopy());
    g.G.PrintSettings().SetGraphsOnPage(2);
    g.G.PrintSettings().SetPrintCopies(2);
    g.G.PreparePrint();
    g.G.PrintGraphs(printer);
    ASSERT_EQ(PdfPages(pdf), 4);
    const auto pages = PdfWords(pdf);
    const QString firsts[] = {g.Caption(0), g.Caption(0), g.Caption(2), g.Caption(2)};
    for (size_t p = 0; p < 4; ++p)
        EXPECT_EQ(FindWord(pages[p], firsts[p]).size(), 1u) << "sheet " << p + 1;
    EXPECT_EQ(FindWord(pages[1], g.Caption(1)).size(), 1u);
    EXPECT_TRUE(FindWord(pages[2], g.Caption(1)).empty());
}

TEST(PdfPrint, AnAbortedJobLeavesTheOldFileAndNothingHalfWritten) {
    lvtest::TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("old.pdf"));
    {
        QFile f(pdf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("старый файл");
    }
    Graph g(3);
    TQtPrinter printer(pdf);
    g.G.PrintSettings().SetGraphsOnPage(1);
    g.G.PreparePrint();
    int frames = 0;
    g.G.OnAfterCreateMetafile = [&](TGraphView*, std::unique_ptr<QPicture>&, TGDataItem*, TRect&) {
        if (++frames == 3) throw Exception("третий кадр не собран");
    };
    EXPECT_THROW(g.G.PrintGraphs(printer), Exception);
    auto contents = [&] {
        QFile f(pdf);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_EQ(contents(), QByteArray("старый файл"));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The next job replaces the file whole.
    g.G.OnAfterCreateMetafile = nullptr;
    g.G.PrintGraphs(printer);
    EXPECT_EQ(PdfPages(pdf), 3);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_EQ(printer.Printer().outputFileName(), pdf);
}

TEST(PdfPrint, TheDialogsPrintToFileHoldsForOneJobOnly) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed: the second job would reach it";
    lvtest::TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("dialog.pdf"));
    TQtPrinter printer;
    printer.Printer().setOutputFileName(pdf); // as a previous choice in the dialog left it
    TQtPrintDialogs dialogs(printer);
    TPrintDialogRequest request;
    request.Copies = 2;
    request.MinPage = 1;
    request.MaxPage = 3;
    request.ToPage = 3;
    lvtest::WhenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    ASSERT_TRUE(dialogs.ExecPrint(request));
    EXPECT_EQ(request.Copies, 2);
    EXPECT_FALSE(request.PageRange);

    Graph g(1);
    g.G.PreparePrint();
    g.G.PrintGraphs(printer);
    ASSERT_EQ(PdfPages(pdf), 1);
    const QDateTime written = QFileInfo(pdf).lastModified();
    const qint64 size = QFileInfo(pdf).size();

    // A later print — the queue's automatic one — goes to the printer, not over the file.
    TPrintQueue q;
    q.AddStandardMarkings();
    q.SelectMarking(0);
    q.SetPrinter(&printer);
    g.G.PreparePrint();
    EXPECT_THROW(g.G.PrintToQueue(q), EPrintError);
    EXPECT_EQ(q.Count(), 1);
    EXPECT_EQ(QFileInfo(pdf).lastModified(), written);
    EXPECT_EQ(QFileInfo(pdf).size(), size);

    // The printer still takes the operator's next choice.
    const QString next = QString::fromStdString(dir.file("next.pdf"));
    printer.Printer().setOutputFileName(next);
    ASSERT_EQ(printer.Printer().outputFileName(), next);
    g.G.PrintGraphs(printer);
    EXPECT_EQ(PdfPages(next), 1);
}

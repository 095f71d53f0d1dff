// The paper codes: every code of the table to a printer's page size and back.

#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

#include "printing/PaperCodes.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::TempDir;

TEST(PaperSize, CodesMapToPageSizesAndBack) {
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("out.pdf")));
    EXPECT_EQ(GetPrinterPaperSize(printer), 9);
    for (int code = 1; code <= 26; ++code) {
        ASSERT_TRUE(SetPrinterPaperSize(printer, code)) << code;
        QSizeF mm, backMm;
        ASSERT_TRUE(PaperCodeSize(code, mm));
        const QSizeF got = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        EXPECT_NEAR(got.width(), mm.width(), 1.0) << code;
        EXPECT_NEAR(got.height(), mm.height(), 1.0) << code;
        // Codes of the same size (17 and 3, 24 to 26) may read back as each other.
        const int back = GetPrinterPaperSize(printer);
        ASSERT_TRUE(PaperCodeSize(back, backMm)) << code;
        EXPECT_EQ(backMm, mm) << code << " read back as " << back;
        if (code == 8 || code == 9 || code == 11 || code == 1 || code == 5 || code == 19) {
            EXPECT_EQ(back, code);
        }
    }
    EXPECT_FALSE(SetPrinterPaperSize(printer, 0));
    EXPECT_FALSE(SetPrinterPaperSize(printer, 27));
    EXPECT_EQ(PaperCodeOf(QPageSize(QSizeF(123, 45), QPageSize::Millimeter)), 256);
}

#include "printing/PaperCodes.h"

#include <QPageLayout>
#include <QPrinter>

#include <cmath>

namespace lv {

namespace {

struct TPaperEntry {
    int Code;
    double WidthMm, HeightMm;
};

// The print queue's paper table (portrait).
const TPaperEntry kPapers[] = {
    {1, 215.9, 279.4},  {2, 215.9, 279.4},  {3, 279.4, 431.8}, {4, 431.8, 279.4},  {5, 215.9, 355.6},
    {6, 139.7, 215.9},  {7, 190.5, 254},    {8, 297, 420},     {9, 210, 297},      {10, 210, 297},
    {11, 148, 210},     {12, 250, 354},     {13, 182, 257},    {14, 215.9, 330.2}, {15, 215, 275},
    {16, 254, 355.6},   {17, 279.4, 431.8}, {18, 215.9, 279},  {19, 98.43, 225.4}, {20, 104.8, 241.3},
    {21, 114.3, 263.5}, {22, 101.6, 279.4}, {23, 127, 292.1},  {24, 100, 100},     {25, 100, 100},
    {26, 100, 100},
};

constexpr int kUserPaperCode = 256;
constexpr int kA4Code = 9;

bool sameSizeMm(const QSizeF& a, double w, double h) {
    // Page sizes come back from the printer rounded to points: allow a millimetre.
    return std::fabs(a.width() - w) < 1.0 && std::fabs(a.height() - h) < 1.0;
}

} // namespace

bool PaperCodeSize(int code, QSizeF& sizeMm) {
    for (const TPaperEntry& p : kPapers)
        if (p.Code == code) {
            sizeMm = QSizeF(p.WidthMm, p.HeightMm);
            return true;
        }
    return false;
}

QPageSize PaperCodePageSize(int code) {
    QSizeF mm;
    if (!PaperCodeSize(code, mm)) return QPageSize();
    const QPageSize::PageSizeId id = QPageSize::id(code);
    if (id != QPageSize::Custom) {
        const QPageSize known(id);
        if (sameSizeMm(known.size(QPageSize::Millimeter), mm.width(), mm.height())) return known;
    }
    return QPageSize(mm, QPageSize::Millimeter, QStringLiteral("%1 x %2 мм").arg(mm.width()).arg(mm.height()),
                     QPageSize::ExactMatch);
}

int PaperCodeOf(const QPageSize& size) {
    if (!size.isValid()) return kA4Code;
    const QSizeF mm = size.size(QPageSize::Millimeter);
    const int own = size.windowsId();
    QSizeF ownMm;
    if (PaperCodeSize(own, ownMm) && sameSizeMm(mm, ownMm.width(), ownMm.height())) return own;
    for (const TPaperEntry& p : kPapers)
        if (sameSizeMm(mm, p.WidthMm, p.HeightMm)) return p.Code;
    return kUserPaperCode;
}

int GetPrinterPaperSize(const QPrinter& printer) {
    if (!printer.isValid()) return kA4Code;
    return PaperCodeOf(printer.pageLayout().pageSize());
}

bool SetPrinterPaperSize(QPrinter& printer, int code) {
    const QPageSize size = PaperCodePageSize(code);
    if (!size.isValid() || !printer.isValid()) return false;
    return printer.setPageSize(size);
}

} // namespace lv

#pragma once
// The paper codes the settings and the print queue store: the platform's DMPAPER values (1 Letter,
// 8 A3, 9 A4, 11 A5, …), with their page sizes from the print queue's paper table, and the
// printer's paper read and set by code.

#include <QPageSize>
#include <QSizeF>

class QPrinter;

namespace lv {

// The size of a code in millimetres, portrait, from the print queue's paper table (codes 1 to 26).
bool PaperCodeSize(int code, QSizeF& sizeMm);
// A page size for a paper code; invalid for an unknown code.
QPageSize PaperCodePageSize(int code);
// The paper code of a page size: its own code when the table knows it, else the first code of the
// same size, else 256 (the platform's "user-defined" code).
int PaperCodeOf(const QPageSize& size);
// The printer's paper code; 9 (A4) when the printer cannot be read.
int GetPrinterPaperSize(const QPrinter& printer);
// Sets the printer's paper; false for an unknown code or a printer that refuses it.
bool SetPrinterPaperSize(QPrinter& printer, int code);

} // namespace lv

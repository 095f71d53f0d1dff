#pragma once
// Printing from scripts: `lumvaris --print-pdf OUT.pdf [--frames 1..8] [--operator NUM] FILE...`
// opens the traces as the main window does and prints them into a PDF file through the same
// print path — the standard page on the graph's own sheets, or the print queue's marking of that
// many frames — with the operator's stored settings (read, never written). No registration, no
// window: the program runs on the offscreen platform, exits with 0, or with 1 after writing the
// Russian message to standard error.

#include <QString>
#include <QStringList>

namespace lv {

extern const char* const kMsgPrintPdfUsage; // "Использование: lumvaris --print-pdf ФАЙЛ.pdf …"
extern const char* const kMsgPrintPdfFrames; // "Число кадров на странице должно быть от 1 до 8."
extern const char* const kMsgPrintPdfNoTraces; // "Не указаны файлы трасс."

struct TPrintPdfRequest {
    QString Output;    // the PDF file
    int Frames = 0;    // 1..8: the queue's marking of that many frames; 0: the graph's own sheets
    QString Operator;  // replaces the stored operator when not empty
    QStringList Files; // the traces, in order
};

// Whether the command line asks for it (the argument "--print-pdf" anywhere after the program).
bool IsPrintPdfCommand(int argc, char** argv);

// The request of the arguments after the program's name; lv::Exception with the Russian message
// for a malformed one.
TPrintPdfRequest ParsePrintPdfArgs(const QStringList& args);

// The whole program for that command line: answers the exit status.
int PrintPdfMain(int argc, char** argv);

} // namespace lv

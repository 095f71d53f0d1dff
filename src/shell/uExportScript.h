#pragma once
// Picture export from scripts: `lumvaris --export OUT FILE [--screen]` opens the trace as the
// main window does and writes its print copy (or, with --screen, the window as shown, always a
// bitmap) as the picture kind OUT's extension names, through the export command's own code.
// No registration, no window: exit 0, or 1 after the Russian message on standard error.

#include <QString>
#include <QStringList>

namespace lv {

extern const char* const kMsgExportUsage;      // "Использование: lumvaris --export ФАЙЛ …"
extern const char* const kMsgExportKind;       // "Расширение файла рисунка должно быть …"
extern const char* const kMsgExportOneTrace;   // "Укажите один файл трассы."

struct TExportRequest {
    QString Output;      // the picture file, as given
    QString File;        // the trace
    bool Screen = false; // the window as shown instead of the printed page
};

// Whether the command line asks for it (the argument "--export" anywhere after the program).
bool IsExportCommand(int argc, char** argv);

// The request of the arguments after the program's name; lv::Exception with the Russian message
// for a malformed one.
TExportRequest ParseExportArgs(const QStringList& args);

// The whole program for that command line: answers the exit status.
int ExportMain(int argc, char** argv);

} // namespace lv

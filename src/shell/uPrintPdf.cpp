#include "shell/uPrintPdf.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "display/uGraphsCmps.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uStartup.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgPrintPdfUsage =
    "Использование: lumvaris --print-pdf ФАЙЛ.pdf [--frames 1..8] [--operator НОМЕР] ТРАССА...";
const char* const kMsgPrintPdfFrames = "Число кадров на странице должно быть от 1 до 8.";
const char* const kMsgPrintPdfNoTraces = "Не указаны файлы трасс.";
const char* const kMsgPrintPdfNotLoaded = "Не удалось открыть файл трассы %s.";

namespace {

const char* const kOption = "--print-pdf";

// The window the traces are opened in is never on screen; its graph paints at this size.
constexpr QSize kWindowSize{1024, 740};

// Standard error carries the program's own messages only: the offscreen platform's notes on
// what it cannot do for a window, and Qt's other warnings, are not the caller's business.
void quietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    std::cerr << message.toStdString() << "\n";
    if (type == QtFatalMsg) std::abort();
}

[[noreturn]] void malformed(const std::string& why) {
    throw Exception(why + "\n" + kMsgPrintPdfUsage);
}

int run(const TPrintPdfRequest& request, TConsolePromptService& console) {
    // The printer outlives the window whose queue prints on it.
    TQtPrinter printer(QFileInfo(request.Output).absoluteFilePath());
    TWorkDataOld workData;
    TMainForm form(workData);
    form.setAttribute(Qt::WA_DontShowOnScreen);
    // The graph prints at its size on screen: the same size whatever the operator's window shows.
    if (QAction* events = form.Command(QStringLiteral("EventsTable1")); events && events->isChecked()) events->trigger();
    form.resize(kWindowSize);
    form.show();
    QApplication::processEvents();
    if (!request.Operator.isEmpty()) form.Settings().WorkerNum = request.Operator.toStdString();

    for (const QString& file : request.Files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        const bool shownBefore = console.ErrorShown();
        if (form.OpenTraceFiles(QStringList{path}) == 1) continue;
        // The store names its own failure; a load that just failed says so here.
        if (console.ErrorShown() == shownBefore)
            std::cerr << FormatS(kMsgPrintPdfNotLoaded, path.toStdString()) << "\n";
        return 1;
    }
    QApplication::processEvents();

    form.SetPrintDevices(&printer, nullptr);
    TMainGraph& graph = *form.MainGraph;
    graph.PrintSettings().SetPrintCopies(1);
    graph.PreparePrint();
    if (request.Frames > 0) {
        TPrintQueue& queue = form.PrintQueue();
        queue.SelectMarking(request.Frames - 1);
        // One job for all sheets: a sheet printed as soon as it is full would be a file of its own.
        queue.SetMaxPagesCount(0);
        graph.PrintToQueue(queue);
        queue.PrintAndClear(true);
    } else {
        graph.PrintGraphs(printer);
    }
    return 0;
}

} // namespace

bool IsPrintPdfCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], kOption) == 0) return true;
    return false;
}

TPrintPdfRequest ParsePrintPdfArgs(const QStringList& args) {
    TPrintPdfRequest r;
    bool output = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) malformed("Не указано значение параметра " + a.toStdString() + ".");
            return args[++i];
        };
        if (a == QLatin1String(kOption)) {
            r.Output = value();
            output = true;
        } else if (a == QLatin1String("--frames")) {
            bool ok = false;
            r.Frames = value().toInt(&ok);
            if (!ok || r.Frames < 1 || r.Frames > 8) malformed(kMsgPrintPdfFrames);
        } else if (a == QLatin1String("--operator")) {
            r.Operator = value();
        } else if (a.startsWith(QLatin1String("--"))) {
            malformed("Неизвестный параметр " + a.toStdString() + ".");
        } else {
            r.Files << a;
        }
    }
    if (!output || r.Output.isEmpty()) malformed("Не указан файл PDF.");
    if (r.Files.isEmpty()) malformed(kMsgPrintPdfNoTraces);
    return r;
}

int PrintPdfMain(int argc, char** argv) {
    // No window, whatever display the caller has.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtNotes);
    QApplication app(argc, argv);
    SetApplicationIdentity();
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TConsolePromptService console(std::cerr);
    TPromptServiceScope prompts(console);
    RegisterTRAFormat();
    RegisterBellcoreFormat();
    IgnoreFileSizeSignal();
    try {
        return run(ParsePrintPdfArgs(QApplication::arguments().mid(1)), console);
    } catch (...) {
        std::cerr << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
        return 1;
    }
}

} // namespace lv

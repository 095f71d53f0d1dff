#include "shell/uPrintPdf.h"

#include <QFileInfo>

#include "display/uGraphsCmps.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uScriptRun.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kMsgPrintPdfUsage =
    "Использование: lumvaris --print-pdf ФАЙЛ.pdf [--frames 1..8] [--operator НОМЕР] ТРАССА...";
const char* const kMsgPrintPdfFrames = "Число кадров на странице должно быть от 1 до 8.";
const char* const kMsgPrintPdfNoTraces = "Не указаны файлы трасс.";

namespace {

const char* const kOption = "--print-pdf";

int run(const TPrintPdfRequest& request, TConsolePromptService& console) {
    // The printer outlives the window whose queue prints on it.
    TQtPrinter printer(QFileInfo(request.Output).absoluteFilePath());
    TWorkDataOld workData;
    TMainForm form(workData);
    PrepareScriptWindow(form);
    if (!request.Operator.isEmpty()) form.Settings().WorkerNum = request.Operator.toStdString();
    if (!OpenScriptTraces(form, request.Files, console)) return 1;

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

[[noreturn]] void malformed(const std::string& why) {
    ScriptUsageError(why, kMsgPrintPdfUsage);
}

} // namespace

bool IsPrintPdfCommand(int argc, char** argv) {
    return HasOption(argc, argv, kOption);
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
    return RunScriptCommand(argc, argv, [](const QStringList& args, TConsolePromptService& console) {
        return run(ParsePrintPdfArgs(args), console);
    });
}

} // namespace lv

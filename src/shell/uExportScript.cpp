#include "shell/uExportScript.h"

#include <QFileInfo>

#include "display/uGraphPrint.h"
#include "printing/uPictureFiles.h"
#include "shell/fExportForm.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uScriptRun.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kMsgExportUsage = "Использование: lumvaris --export ФАЙЛ.bmp|.emf|.wmf|.pdf|.svg|.png "
                                    "ТРАССА [--screen]";
const char* const kMsgExportKind =
    "Расширение файла рисунка должно быть .bmp, .emf, .wmf, .pdf, .svg или .png.";
const char* const kMsgExportOneTrace = "Укажите один файл трассы.";

namespace {

const char* const kOption = "--export";

[[noreturn]] void malformed(const std::string& why) {
    ScriptUsageError(why, kMsgExportUsage);
}

int run(const TExportRequest& request, TConsolePromptService& console) {
    // A script names its kind: no filter to fall back on, and no extension added.
    const int kind = PictureFormatOfName(request.Output);
    if (kind == 0 && !request.Screen) malformed(kMsgExportKind);
    const TExportTarget target = ExportTarget(request.Output, efBitmap, QString());
    TWorkDataOld workData;
    TMainForm form(workData);
    PrepareScriptWindow(form);
    if (!OpenScriptTraces(form, QStringList{request.File}, console)) return 1;
    form.ExportPicture(target.FileName, target.Kind, request.Screen);
    return 0;
}

} // namespace

bool IsExportCommand(int argc, char** argv) {
    return HasOption(argc, argv, kOption);
}

TExportRequest ParseExportArgs(const QStringList& args) {
    TExportRequest r;
    QStringList files;
    bool output = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String(kOption)) {
            if (i + 1 >= args.size()) malformed("Не указано значение параметра " + a.toStdString() + ".");
            r.Output = args[++i];
            output = true;
        } else if (a == QLatin1String("--screen")) {
            r.Screen = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            malformed("Неизвестный параметр " + a.toStdString() + ".");
        } else {
            files << a;
        }
    }
    if (!output || r.Output.trimmed().isEmpty()) malformed(kMsgNoExportFileName);
    if (files.size() != 1) malformed(kMsgExportOneTrace);
    r.File = files.front();
    return r;
}

int ExportMain(int argc, char** argv) {
    return RunScriptCommand(argc, argv, [](const QStringList& args, TConsolePromptService& console) {
        return run(ParseExportArgs(args), console);
    });
}

} // namespace lv

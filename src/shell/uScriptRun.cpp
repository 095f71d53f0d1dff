#include "shell/uScriptRun.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLocale>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "shell/fMainForm.h"
#include "shell/uStartup.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgScriptNotLoaded = "Не удалось открыть файл трассы %s.";

namespace {

// The window a script opens its traces in is never on screen; its graph paints at this size.
constexpr QSize kWindowSize{1024, 740};

// Standard error carries the program's own messages only: the offscreen platform's notes on
// what it cannot do for a window, and Qt's other warnings, are not the caller's business.
void quietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    std::cerr << message.toStdString() << "\n";
    if (type == QtFatalMsg) std::abort();
}

} // namespace

bool HasOption(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

int RunScriptCommand(int argc, char** argv,
                     const std::function<int(const QStringList& args, TConsolePromptService& console)>& body) {
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
        return body(QApplication::arguments().mid(1), console);
    } catch (...) {
        std::cerr << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
        return 1;
    }
}

void ScriptUsageError(const std::string& why, const char* usage) {
    throw Exception(why + "\n" + usage);
}

void PrepareScriptWindow(TMainForm& form) {
    form.setAttribute(Qt::WA_DontShowOnScreen);
    // The graph paints at its size on screen: the same size whatever the operator's window shows.
    if (QAction* events = form.Command(QStringLiteral("EventsTable1")); events && events->isChecked()) events->trigger();
    form.resize(kWindowSize);
    form.show();
    QApplication::processEvents();
}

bool OpenScriptTraces(TMainForm& form, const QStringList& files, TConsolePromptService& console) {
    for (const QString& file : files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        const bool shownBefore = console.ErrorShown();
        if (form.OpenTraceFiles(QStringList{path}) == 1) continue;
        // The store names its own failure; a load that just failed says so here.
        if (console.ErrorShown() == shownBefore)
            std::cerr << FormatS(kMsgScriptNotLoaded, path.toStdString()) << "\n";
        return false;
    }
    // The traces' notices reach the graph before anything is drawn of it.
    QApplication::processEvents();
    return true;
}

} // namespace lv

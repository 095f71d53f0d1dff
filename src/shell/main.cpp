// The program "Lumvaris": one instance per machine, the operator's registration, then the main
// window with the traces named on the command line.

#include <QApplication>
#include <QSessionManager>
#include <QLocale>
#include <QTimer>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uOneCheck.h"
#include "shell/uPrintPdf.h"
#include "shell/uQtOwnerThread.h"
#include "shell/uQtPrompts.h"
#include "shell/uStartup.h"

int main(int argc, char** argv) {
    // Printing from a script: no window, no registration, no claim on the single instance.
    if (lv::IsPrintPdfCommand(argc, argv)) return lv::PrintPdfMain(argc, argv);
    QApplication app(argc, argv);
    lv::SetApplicationIdentity();
    // A Russian program: a system without a configured locale gets Russian dates and numbers.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    lv::InstallQtTranslations(app);
    lv::InstallQtPromptService();
    lv::InstallQtOwnerThread();

    lv::TOneInstance instance;
    if (!lv::ClaimSingleInstance(instance)) return 0;

    lv::RegisterTRAFormat();
    lv::RegisterBellcoreFormat();
    lv::IgnoreFileSizeSignal();

    QStringList files = QApplication::arguments();
    files.removeFirst();

    int rc = 0;
    {
        // The data module owns the trace stores and outlives the main window.
        lv::TWorkDataOld workData;
        lv::TMainForm form(workData);
        if (!form.RegisterAtStart()) return 0;
        QObject::connect(&form, &lv::TMainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        // A log-off or a shutdown runs the close query, as "Выход" does: the settings are kept,
        // and a log-off is refused while traces are being processed.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager& manager) {
            if (!form.CloseQuery()) manager.cancel();
        });
        lv::InstallTerminationHandler(&form, [&form] { form.close(); });
        form.show();
        if (!files.isEmpty())
            QTimer::singleShot(0, &form, [&form, files] { form.OpenCommandLineFiles(files); });
        rc = QApplication::exec();
    }
    instance.Release();
    return rc;
}

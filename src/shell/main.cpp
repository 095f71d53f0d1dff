// The program "Lumvaris": one instance per user (a second start hands its files to it), the
// operator's registration, then the main window with the traces named on the command line.

#include <QApplication>
#include <QSessionManager>
#include <QPointer>
#include <QTimer>

#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uExportScript.h"
#include "shell/uOneCheck.h"
#include "shell/uPrintPdf.h"
#include "shell/uQtOwnerThread.h"
#include "shell/uQtPrompts.h"
#include "shell/uStartup.h"

int main(int argc, char** argv) {
    // A Russian program: on a system without a configured locale, dates, numbers and Qt's own
    // dialogs are Russian all the same.
    lv::UseRussianWhereNoLocaleIsSet();
    // Printing and picture export from a script: no window, no registration, no claim on the
    // single instance.
    if (lv::IsPrintPdfCommand(argc, argv)) return lv::PrintPdfMain(argc, argv);
    if (lv::IsExportCommand(argc, argv)) return lv::ExportMain(argc, argv);
    QApplication app(argc, argv);
    lv::SetApplicationIdentity();
    lv::InstallQtTranslations(app);
    lv::InstallQtPromptService();
    lv::InstallQtOwnerThread();

    QStringList files = QApplication::arguments();
    files.removeFirst();

    // A second start hands its files to the running program and ends.
    lv::TOneInstance instance;
    if (!lv::ClaimSingleInstance(instance, files)) return 0;
    // Files handed over by later starts; those that come while the operator registers wait.
    lv::TInstanceServer handOver;
    if (instance.Held()) handOver.Listen(instance.SocketPath());
    QPointer<lv::TMainForm> ready;
    QObject::connect(&handOver, &lv::TInstanceServer::FilesReceived, [&ready, &files](const QStringList& more) {
        if (ready)
            ready->OpenHandedOverFiles(more);
        else
            files << more;
    });

    lv::RegisterTRAFormat();
    lv::RegisterBellcoreFormat();
    lv::IgnoreFileSizeSignal();

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
        ready = &form;
        rc = QApplication::exec();
        ready = nullptr;
    }
    instance.Release();
    return rc;
}

#pragma once

#include <functional>
// What the program does before its first window: the application's names, Qt's own dialogs in
// Russian, the prompt service, the icon.

#include <QIcon>
#include <QString>

class QCoreApplication;

namespace lv {

class TQtPromptService;

// Organisation "Lumvaris" and application "V2.0" name the settings store ("Lumvaris", "V2.0"),
// so the per-user configuration folder (QStandardPaths::AppConfigLocation) lies beside the
// settings file; the title shown is "Lumvaris".
void SetApplicationIdentity();

// Qt's own dialogs (the file dialog's dates and sizes), dates and numbers follow Qt's system
// locale, which Qt reads from the environment once. Where the environment names no locale (C,
// POSIX, C.UTF-8), Qt reads Russian; the environment itself is left as it was, so the C library
// and the programs this one starts (the office) keep theirs. Call before the application object
// exists. Answers whether Qt was given Russian.
bool UseRussianWhereNoLocaleIsSet();

// Loads Qt's Russian translations (qtbase_ru.qm) so Qt's own dialogs speak Russian. Looks in
// Qt's translations folder, then in `extraFolder` when given. False when none was found. The few
// texts that file lacks (the file dialogs' "Folder") are supplied by the program itself.
bool InstallQtTranslations(QCoreApplication& app, const QString& extraFolder = {});

// Installs the windowed prompt service for the life of the program and answers it.
TQtPromptService& InstallQtPromptService();

// A file-size limit must make a write fail with EFBIG, not kill the program.
void IgnoreFileSizeSignal();
// SIGTERM and SIGHUP (a log-off, a shutdown, `kill`) run `onTerminate` on the GUI thread, so the
// program closes as if the operator chose "Выход" and keeps its settings.
void InstallTerminationHandler(QObject* context, std::function<void()> onTerminate);

// Registers the help pages and icons compiled into the shell (done by the users of them).
void EnsureShellResources();

// The program's icon (also the about box's picture).
QIcon ProgramIcon();

} // namespace lv

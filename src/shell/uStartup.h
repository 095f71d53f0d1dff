#pragma once

#include <functional>
// What the program does before its first window: the application's names, Qt's own dialogs in
// Russian, the prompt service, the icon.

#include <QIcon>
#include <QImage>
#include <QString>

class QCoreApplication;

namespace lv {

class TQtPromptService;

// The application's names: "Lumvaris" is its title and the class of its windows (the desktop
// entry's StartupWMClass, so that the desktop groups them under its icon), "lumvaris" the
// desktop entry. The settings store and the configuration folder are named apart from these
// ("Lumvaris", "V2.0").
void SetApplicationIdentity();
extern const char* const kWindowClass; // "Lumvaris"

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

// A toolbar button's picture ":/icons/tb/<name>.svg" with a disabled look that reads as disabled
// at a glance: colourless, pale and mostly transparent (the style's own is a solid grey that
// passes for a plain grey button).
QIcon ToolbarIcon(const QString& name);
// That disabled look of a picture.
QImage DisabledLook(const QImage& picture);

} // namespace lv

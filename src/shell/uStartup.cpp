#include "shell/uStartup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <csignal>

#include "shell/uQtPrompts.h"

// The resources of a static library are registered only when something refers to them.
static void initShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace lv {

void SetApplicationIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Lumvaris"));
    QCoreApplication::setApplicationName(QStringLiteral("V2.0"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumvaris"));
}

bool InstallQtTranslations(QCoreApplication& app, const QString& extraFolder) {
    auto* translator = new QTranslator(&app);
    const QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                              QStringLiteral("/usr/share/qt6/translations"), extraFolder};
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        if (translator->load(QStringLiteral("qtbase_ru"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

TQtPromptService& InstallQtPromptService() {
    static TQtPromptService service;
    SetPromptService(&service);
    return service;
}

void IgnoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

void EnsureShellResources() {
    static const bool done = (initShellResources(), true);
    (void)done;
}

QIcon ProgramIcon() {
    EnsureShellResources();
    return QIcon(QStringLiteral(":/icons/lumvaris.svg"));
}

} // namespace lv

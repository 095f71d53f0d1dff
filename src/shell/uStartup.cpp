#include "shell/uStartup.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <utility>

#include "shell/uQtPrompts.h"

// The resources of a static library are registered only when something refers to them.
static void initShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace lv {

namespace {

// Qt's Russian file has no entries for the type column of its file dialogs, which then said
// "Folder" beside Russian headings. Installed before Qt's own file, which wins where it has a text.
class TMissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override {
        static const std::pair<const char*, const char*> texts[] = {
            {"Folder", "Папка"}, {"Drive", "Диск"}, {"Shortcut", "Ярлык"}, {"Unknown", "Неизвестно"}};
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        for (const auto& [source, text] : texts)
            if (qstrcmp(sourceText, source) == 0) return QString::fromUtf8(text);
        return {};
    }
};

} // namespace

void SetApplicationIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Lumvaris"));
    QCoreApplication::setApplicationName(QStringLiteral("V2.0"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumvaris"));
}

namespace {

// The locale the environment sets for a category: LC_ALL, else the category's own, else LANG.
QByteArray localeFor(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        const QByteArray v = qgetenv(name);
        if (!v.isEmpty()) return v;
    }
    return {};
}

bool namesNoLocale(const QByteArray& value) {
    QByteArray base = value;
    for (const char end : {'.', '@'})
        if (const qsizetype at = base.indexOf(end); at >= 0) base.truncate(at);
    return base.isEmpty() || base == "C" || base == "POSIX";
}

} // namespace

bool UseRussianWhereNoLocaleIsSet() {
    if (!namesNoLocale(localeFor("LC_NUMERIC")) && !namesNoLocale(localeFor("LC_TIME"))) return false;
    const bool had = qEnvironmentVariableIsSet("LC_ALL");
    const QByteArray previous = qgetenv("LC_ALL");
    qputenv("LC_ALL", "ru_RU.UTF-8");
    // Qt reads the environment here, once; later reads use what it read.
    const bool russian = QLocale::system().language() == QLocale::Russian;
    if (had)
        qputenv("LC_ALL", previous);
    else
        qunsetenv("LC_ALL");
    return russian;
}

bool InstallQtTranslations(QCoreApplication& app, const QString& extraFolder) {
    QCoreApplication::installTranslator(new TMissingQtTexts(&app));
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

namespace {
int g_terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the GUI thread does the rest.
    [[maybe_unused]] ssize_t n = ::write(g_terminationPipe[1], &byte, 1);
}
} // namespace

void InstallTerminationHandler(QObject* context, std::function<void()> onTerminate) {
    if (g_terminationPipe[0] < 0 && ::pipe2(g_terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_terminationPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onTerminate] {
        char buf[16];
        while (::read(g_terminationPipe[0], buf, sizeof buf) > 0) {
        }
        onTerminate();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
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

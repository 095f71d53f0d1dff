#include "shell/uStartup.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
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

const char* const kWindowClass = "Lumvaris";

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
    QCoreApplication::setApplicationName(QString::fromLatin1(kWindowClass));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumvaris"));
    QGuiApplication::setDesktopFileName(QStringLiteral("lumvaris"));
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

QImage DisabledLook(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            // Grey halfway to white, at a third of the opacity.
            const int grey = (qGray(c) + 255) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(c) / 3);
        }
    }
    return out;
}

QIcon ToolbarIcon(const QString& name) {
    EnsureShellResources();
    QSvgRenderer svg(QStringLiteral(":/icons/tb/%1.svg").arg(name));
    QIcon icon;
    // The sizes a toolbar asks for, on ordinary and on doubled-density screens.
    for (const int side : {16, 22, 24, 32, 44, 48}) {
        QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        svg.render(&p);
        p.end();
        icon.addPixmap(QPixmap::fromImage(picture), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(DisabledLook(picture)), QIcon::Disabled);
    }
    return icon;
}

QIcon ProgramIcon() {
    EnsureShellResources();
    return QIcon(QStringLiteral(":/icons/lumvaris.svg"));
}

} // namespace lv

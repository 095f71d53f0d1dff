// The shell's test program: a QApplication on the offscreen platform, with the per-user
// configuration redirected into a fresh temporary folder before anything reads settings.
// Run as "test_shell --hold-lock <path>" (or "--hold-default-lock") it is the child process that
// holds the instance lock, as "--second-start <lock path> <file>..." a second start of the
// program, and as "--locale-probe" it reports the locale Qt reads at start.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QLocale>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "shell/uOneCheck.h"
#include "shell/uStartup.h"

namespace {

// The offscreen platform reports every window operation it cannot perform; that says nothing
// about the code under test.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    if (message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) std::abort();
}

// Takes the instance lock, reports "1" (or "0") on standard output, then waits to be killed.
int holdLock(const char* path) {
    lv::TOneInstance instance{QString::fromLocal8Bit(path)};
    const bool held = instance.Claim();
    const char answer = held ? '1' : '0';
    if (::write(STDOUT_FILENO, &answer, 1) != 1) return 3;
    if (!held) return 2;
    for (;;)
        ::pause();
}

// A second start: exit code 10 when it would run, 20 when it ends (its message, if any, on the
// console).
int secondStart(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    lv::TOneInstance instance{QString::fromLocal8Bit(argv[2])};
    QStringList files;
    for (int i = 3; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    return lv::ClaimSingleInstance(instance, files) ? 10 : 20;
}

// What Qt's locale says once the program's start-up has run in this environment, one line each:
// the locale's name, a size, a short month, a short date with time, and the C library's decimal
// point and LC_ALL afterwards.
int localeProbe(int argc, char** argv) {
    lv::UseRussianWhereNoLocaleIsSet();
    QCoreApplication app(argc, argv);
    const QLocale system = QLocale::system();
    const QDateTime when(QDate(2024, 12, 5), QTime(9, 30));
    std::printf("%s\n%s\n%s\n%s\n%s\n%s\n", qPrintable(system.name()), qPrintable(system.formattedDataSize(2048)),
                qPrintable(system.toString(when.date(), QStringLiteral("MMM"))),
                qPrintable(system.toString(when, QLocale::ShortFormat)), std::localeconv()->decimal_point,
                qgetenv("LC_ALL").constData());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) return holdLock(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--hold-default-lock") == 0)
        return holdLock(qPrintable(lv::TOneInstance::DefaultLockPath()));
    if (argc >= 3 && std::strcmp(argv[1], "--second-start") == 0) return secondStart(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--locale-probe") == 0) return localeProbe(argc, argv);

    std::string tmpl = (std::filesystem::temp_directory_path() / "lumvaris-shell-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) return 1;
    const std::string configHome = tmpl;
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    qInstallMessageHandler(quietOffscreenNotes);
    int rc = 0;
    {
        QApplication app(argc, argv);
        lv::SetApplicationIdentity();
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    std::error_code ec;
    std::filesystem::remove_all(configHome, ec);
    return rc;
}

// The shell's test program: a QApplication on the offscreen platform, with the per-user
// configuration redirected into a fresh temporary folder before anything reads settings.
// Run as "test_shell --hold-lock <path>" it is the child process of the single-instance tests.

#include <gtest/gtest.h>

#include <QApplication>

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

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) return holdLock(argv[2]);

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

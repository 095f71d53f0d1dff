// Operator registration, the single-instance lock and the hand-over of a second start's files,
// the locale Qt reads at start, the help window.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>

#include <csignal>
#include <tuple>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "ShellTestSupport.h"
#include "shell/fRegisterForm.h"
#include "shell/uHelpViewer.h"
#include "shell/uOneCheck.h"
#include "shell/uStartup.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::ScriptedPrompts;

TEST(Registration, ProposesTheCurrentIdentifierAndKeepsBlanks) {
    ScriptedPrompts prompts;
    TRegisteringForm form(QStringLiteral("0000"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Регистрация"));
    EXPECT_EQ(form.TabNumEd()->text(), QStringLiteral("0000"));
    EXPECT_EQ(form.TabNumEd()->width(), 225);
    EXPECT_EQ(form.OkBtn()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(form.OkBtn()->isDefault());
    EXPECT_EQ(form.CancelBtn()->text(), QStringLiteral("Отмена"));

    form.OkBtn()->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.WorkerNum(), QStringLiteral("0000"));

    TRegisteringForm blanks(QStringLiteral("0000"));
    blanks.TabNumEd()->setText(QStringLiteral("  Петров 12 "));
    blanks.OkBtn()->click();
    EXPECT_EQ(blanks.result(), QDialog::Accepted);
    EXPECT_EQ(blanks.WorkerNum(), QStringLiteral("  Петров 12 "));
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST(Registration, EmptyIdentifierAsksAgainOrCancels) {
    ScriptedPrompts prompts;
    prompts.Answers = {mrOk, mrCancel};
    TRegisteringForm form(QStringLiteral("0000"));
    form.show();
    form.TabNumEd()->clear();
    form.OkBtn()->click(); // error, OK: back to the dialog
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.TabNumEd()->text().isEmpty());
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, "Неверно введен табельный номер измерителя.\r\nПопробуйте еще раз!");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompts.Messages[0].Buttons, static_cast<TMsgDlgButtons>(mbOK | mbCancel));

    form.OkBtn()->click(); // error, Cancel: the registration is cancelled
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.WorkerNum(), QStringLiteral("0000"));
}

TEST(Registration, RunRegistrationChangesTheIdentifierOnlyOnOk) {
    ScriptedPrompts prompts;
    QString worker = QStringLiteral("0000");
    lvtest::WhenModal([](QWidget* w) {
        auto* form = qobject_cast<TRegisteringForm*>(w);
        ASSERT_NE(form, nullptr);
        form->TabNumEd()->setText(QStringLiteral("Иванов"));
        form->CancelBtn()->click();
    });
    EXPECT_FALSE(RunRegistration(worker));
    EXPECT_EQ(worker, QStringLiteral("0000"));

    lvtest::WhenModal([](QWidget* w) {
        auto* form = qobject_cast<TRegisteringForm*>(w);
        ASSERT_NE(form, nullptr);
        form->TabNumEd()->setText(QStringLiteral("Иванов"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &enter); // Enter presses the default button
    });
    EXPECT_TRUE(RunRegistration(worker));
    EXPECT_EQ(worker, QStringLiteral("Иванов"));
}

namespace {

// A child process (this test program run with --hold-lock, or --hold-default-lock without a
// path) that holds the instance lock; `env` is set in the child only ("NAME=value").
struct LockHolder {
    pid_t pid = -1;
    char answer = 0;
    explicit LockHolder(const QString& path, const QStringList& env = {}) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const QByteArray p = QFile::encodeName(path);
        std::vector<QByteArray> assignments;
        for (const QString& e : env)
            assignments.push_back(e.toLocal8Bit());
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            for (QByteArray& a : assignments)
                ::putenv(a.data());
            if (path.isEmpty())
                ::execl("/proc/self/exe", "test_shell", "--hold-default-lock", static_cast<char*>(nullptr));
            else
                ::execl("/proc/self/exe", "test_shell", "--hold-lock", p.constData(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (::read(fds[0], &answer, 1) != 1) answer = 0;
        ::close(fds[0]);
    }
    void kill() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0); // a zombie would still count as running
        pid = -1;
    }
    ~LockHolder() { kill(); }
};

} // namespace

TEST(SingleInstance, SecondClaimRefusedWhileTheFirstHoldsIt) {
    lvtest::TempDir dir;
    const QString path = QString::fromStdString(dir.file("Lumvaris v20.lock"));
    ScriptedPrompts prompts;
    TOneInstance first(path);
    ASSERT_TRUE(ClaimSingleInstance(first));
    EXPECT_TRUE(first.Held());
    TOneInstance second(path);
    EXPECT_FALSE(ClaimSingleInstance(second));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, "Программа \"Lumvaris\" уже запущена.");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompts.Messages[0].Buttons, static_cast<TMsgDlgButtons>(mbOK));
    first.Release();
    EXPECT_TRUE(second.Claim());
    EXPECT_EQ(second.SocketPath(), QString::fromStdString(dir.file("Lumvaris v20.socket")));
}

// The lock lives where every start of the user finds it: the runtime folder, else the system's
// temporary folder with the user's id in the name, whatever $TMPDIR says.
TEST(SingleInstance, TheLockIsKeyedToTheUserNotToTmpdir) {
    lvtest::TempDir runtime;
    const QString folder = QString::fromStdString(runtime.path());
    struct Row {
        QString RuntimeDir;
        unsigned Uid;
        QString Base;
    };
    const Row rows[] = {
        {folder, 1000, folder + QStringLiteral("/Lumvaris v20")},
        {folder + u'/', 1000, folder + QStringLiteral("/Lumvaris v20")},
        {QString(), 1000, QStringLiteral("/tmp/Lumvaris v20-1000")},
        {QStringLiteral("relative"), 0, QStringLiteral("/tmp/Lumvaris v20-0")},
        {folder + QStringLiteral("/missing"), 42, QStringLiteral("/tmp/Lumvaris v20-42")},
    };
    for (const Row& r : rows)
        EXPECT_EQ(InstanceBasePath(r.RuntimeDir, r.Uid), r.Base) << r.RuntimeDir.toStdString();

    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedTmp = qgetenv("TMPDIR");
    lvtest::TempDir mine, theirs;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    qputenv("TMPDIR", QByteArray::fromStdString(mine.path()));
    {
        // Another start of the same user from elsewhere, with a $TMPDIR of its own.
        LockHolder first(QString(), {QStringLiteral("TMPDIR=") + QString::fromStdString(theirs.path())});
        ASSERT_EQ(first.answer, '1');
        TOneInstance me;
        EXPECT_EQ(me.LockPath(), folder + QStringLiteral("/Lumvaris v20.lock"));
        EXPECT_FALSE(me.Claim());
        EXPECT_TRUE(me.HeldByAnother());
        first.kill();
        EXPECT_TRUE(me.Claim()); // the killed start left its lock behind: no obstacle
    }
    qunsetenv("XDG_RUNTIME_DIR");
    for (const std::string& tmp : {mine.path(), theirs.path()}) {
        qputenv("TMPDIR", QByteArray::fromStdString(tmp));
        EXPECT_EQ(TOneInstance::DefaultLockPath(), InstanceBasePath(QString(), ::getuid()) + QStringLiteral(".lock"));
    }
    for (const auto& [name, value] : {std::pair{"XDG_RUNTIME_DIR", savedRuntime}, std::pair{"TMPDIR", savedTmp}}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

namespace {

// A second start of the program (this test program run with --second-start) against the lock at
// `lockPath`; answers its exit code and what it wrote, while this process keeps serving events.
std::pair<int, QString> secondStart(const QString& lockPath, const QStringList& files) {
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--second-start"), lockPath} + files);
    if (!child.waitForStarted(10000)) return {-1, {}};
    QElapsedTimer clock;
    clock.start();
    while (child.state() != QProcess::NotRunning && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    child.waitForFinished(1000);
    return {child.exitCode(), QString::fromUtf8(child.readAll())};
}

} // namespace

// A second start with files hands them to the running instance (made absolute against its own
// folder) and ends without a word; one without files, or one the running instance does not
// answer, says that the program runs already.
TEST(SingleInstance, ASecondStartHandsItsFilesOver) {
    lvtest::TempDir dir;
    const QString lockPath = QString::fromStdString(dir.file("Lumvaris v20.lock"));
    TOneInstance running(lockPath);
    ASSERT_TRUE(running.Claim());

    // Nobody listens yet: the files cannot be handed over, the message says why nothing happens.
    auto [code, said] = secondStart(lockPath, {QStringLiteral("a.tra")});
    EXPECT_EQ(code, 20);
    EXPECT_TRUE(said.contains(QString::fromUtf8(kMsgAlreadyRunning))) << said.toStdString();

    // A socket file left by a crashed instance does not stand in the way.
    QFile stale(running.SocketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    TInstanceServer server;
    ASSERT_TRUE(server.Listen(running.SocketPath()));
    std::vector<QStringList> received;
    QObject::connect(&server, &TInstanceServer::FilesReceived, [&](const QStringList& f) { received.push_back(f); });

    const QString absolute = QString::fromStdString(dir.file("b.sor"));
    std::tie(code, said) = secondStart(lockPath, {QStringLiteral("sub/a.tra"), absolute});
    EXPECT_EQ(code, 20);
    EXPECT_FALSE(said.contains(QString::fromUtf8(kMsgAlreadyRunning))) << said.toStdString();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], (QStringList{QDir::currentPath() + QStringLiteral("/sub/a.tra"), absolute}));

    std::tie(code, said) = secondStart(lockPath, {});
    EXPECT_EQ(code, 20);
    EXPECT_TRUE(said.contains(QString::fromUtf8(kMsgAlreadyRunning)));
    EXPECT_EQ(received.size(), 1u);

    // With the lock free, a start runs.
    running.Release();
    std::tie(code, said) = secondStart(lockPath, {absolute});
    EXPECT_EQ(code, 10);
}

// Where the system names no locale, Qt's own texts, dates and sizes are Russian; a configured
// locale is the operator's; the C library and the environment stay as they were.
TEST(Startup, QtReadsRussianWhereTheSystemNamesNoLocale) {
    struct Row {
        const char* Lang;
        const char* LcAll; // nullptr: unset
        const char* Name;
        const char* Month;
    };
    const Row rows[] = {
        {"C.UTF-8", nullptr, "ru_RU", "дек."},
        {"en_US.UTF-8", "C", "ru_RU", "дек."},
        {"", nullptr, "ru_RU", "дек."},
        {"de_DE.UTF-8", nullptr, "de_DE", "Dez."},
    };
    for (const Row& r : rows) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), QString::fromLatin1(r.Lang));
        env.remove(QStringLiteral("LC_NUMERIC"));
        env.remove(QStringLiteral("LC_TIME"));
        if (r.LcAll)
            env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(r.LcAll));
        else
            env.remove(QStringLiteral("LC_ALL"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--locale-probe")});
        ASSERT_TRUE(probe.waitForFinished(20000));
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n');
        ASSERT_GE(lines.size(), 6) << r.Lang;
        EXPECT_EQ(lines[0], QString::fromLatin1(r.Name)) << r.Lang;
        EXPECT_EQ(lines[2], QString::fromUtf8(r.Month)) << r.Lang;
        EXPECT_EQ(lines[4], QStringLiteral(".")) << r.Lang; // the C library's numbers unchanged
        EXPECT_EQ(lines[5], QString::fromLatin1(r.LcAll ? r.LcAll : "")) << r.Lang;
    }
}

// Without a writable temporary folder no lock can be made; no other instance runs for all that,
// and the program must not say so and end.
TEST(SingleInstance, ALockThatCannotBeMadeIsNoOtherInstance) {
    lvtest::TempDir dir;
    ScriptedPrompts prompts;
    TOneInstance instance(QString::fromStdString(dir.file("missing-folder/Lumvaris v20.lock")));
    EXPECT_TRUE(ClaimSingleInstance(instance));
    EXPECT_FALSE(instance.Held());
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST(SingleInstance, AnotherProcessHoldsItAndItsStaleLockDoesNotBlock) {
    lvtest::TempDir dir;
    const QString path = QString::fromStdString(dir.file("Lumvaris v20.lock"));
    LockHolder holder(path);
    ASSERT_EQ(holder.answer, '1');
    TOneInstance me(path);
    EXPECT_FALSE(me.Claim());

    holder.kill();
    ASSERT_TRUE(QFile::exists(path)); // the killed instance left its lock behind
    EXPECT_TRUE(me.Claim());

    // A lock file whose content was never written (a crash at the wrong moment) is no obstacle.
    me.Release();
    QFile empty(path);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    TOneInstance next(path);
    EXPECT_TRUE(next.Claim());
}

// The desktop groups the program's windows under its entry: the entry names the class the
// windows carry (X11: the application's name; the instance is the program's file name) and the
// entry the windows name (Wayland).
TEST(Startup, TheDesktopEntryNamesTheWindowClass) {
    QFile file(QStringLiteral(LUMVARIS_SOURCE_DIR "/resources/desktop/lumvaris.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QMap<QString, QString> entry;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (const qsizetype eq = line.indexOf(u'='); eq > 0) entry.insert(line.left(eq), line.mid(eq + 1));
    EXPECT_EQ(entry.value(QStringLiteral("StartupWMClass")), QCoreApplication::applicationName());
    EXPECT_EQ(QCoreApplication::applicationName(), QString::fromLatin1(kWindowClass));
    EXPECT_EQ(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"), QFileInfo(file).fileName());
    EXPECT_EQ(entry.value(QStringLiteral("Exec")).section(u' ', 0, 0), QStringLiteral("lumvaris"));
}

TEST(HelpViewer, ContentsIndexAndF1) {
    THelpViewer* v = HelpViewer();
    const QStringList pages{"index.html",        "main_window.html", "open_traces.html", "graph.html",
                            "measurements.html", "printing.html",    "inspection.html",  "settings.html"};
    QStringList listed;
    for (const THelpTopic& t : v->Contents()) {
        listed << t.Page;
        EXPECT_FALSE(t.Title.isEmpty()) << t.Page.toStdString();
    }
    EXPECT_EQ(listed, pages);
    for (const QString& page : pages) {
        v->ShowPage(page);
        EXPECT_EQ(v->CurrentPage(), page);
        EXPECT_GT(v->Browser()->toPlainText().size(), 300) << page.toStdString(); // real text, not a stub
    }

    QStringList keywordPages;
    for (const THelpTopic& k : v->Keywords())
        keywordPages << k.Page;
    for (const QString& page : pages)
        EXPECT_TRUE(keywordPages.contains(page)) << page.toStdString();

    v->ShowContents();
    EXPECT_FALSE(v->IndexTabShown());
    EXPECT_EQ(v->CurrentPage(), QStringLiteral("index.html"));

    HelpIndex(QStringLiteral("маркеры"));
    EXPECT_TRUE(v->IndexTabShown());
    const QStringList visible = v->VisibleKeywords();
    ASSERT_FALSE(visible.isEmpty());
    for (const QString& k : visible)
        EXPECT_TRUE(k.contains(QStringLiteral("маркеры"), Qt::CaseInsensitive));
    EXPECT_EQ(v->CurrentPage(), QStringLiteral("graph.html")); // the exact keyword opens its page

    v->IndexFilter()->setText(QStringLiteral("очередь"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(v->IndexFilter(), &enter);
    EXPECT_EQ(v->CurrentPage(), QStringLiteral("printing.html"));

    HelpIndex();
    EXPECT_EQ(v->VisibleKeywords().size(), v->Keywords().size());

    v->ShowContents();
    bool f1Found = false;
    for (QShortcut* sc : v->findChildren<QShortcut*>())
        if (sc->key() == QKeySequence(Qt::Key_F1)) {
            f1Found = true;
            emit sc->activated();
        }
    EXPECT_TRUE(f1Found);
    EXPECT_TRUE(v->IndexTabShown());

    HelpQuit();
    EXPECT_NE(HelpViewer(), nullptr); // a new window after quitting
    HelpQuit();
}

TEST(Termination, ASigtermClosesThroughTheGuiThread) {
    // A log-off or `kill` must run the close query (which keeps the settings), not just end.
    QObject context;
    int closed = 0;
    lv::InstallTerminationHandler(&context, [&closed] { ++closed; });
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(closed, 0); // nothing runs inside the signal handler
    QElapsedTimer waited;
    waited.start();
    while (closed == 0 && waited.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(closed, 1);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

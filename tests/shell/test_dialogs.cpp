// Operator registration, the single-instance lock, the help window.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>

#include <csignal>
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

// A child process (this test program run with --hold-lock) that holds the instance lock.
struct LockHolder {
    pid_t pid = -1;
    char answer = 0;
    explicit LockHolder(const QString& path) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const QByteArray p = QFile::encodeName(path);
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::execl("/proc/self/exe", "test_shell", "--hold-lock", p.constData(),
                    static_cast<char*>(nullptr));
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
    EXPECT_TRUE(TOneInstance::DefaultLockPath().endsWith(QStringLiteral("/Lumvaris v20.lock")));
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

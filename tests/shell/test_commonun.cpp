// Common utilities: names, the saved-file check, file and folder dialogs, the progress window,
// paper sizes, Qt value helpers, the about box.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>

#include <stdexcept>

#include "ShellTestSupport.h"
#include "shell/Commonun.h"
#include "shell/fAboutForm.h"
#include "shell/fIndicateOperation.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::ScriptedPrompts;
using lvtest::TempDir;

TEST(ColorName, TableSystemColoursAndHexFallback) {
    const std::pair<uint32_t, const char*> rows[] = {
        {0x8000, "Зеленый"},       {0x123456, "$00123456"},     {0x000000, "Черный"},
        {0x0000FF, "Красный"},     {0x00FFFF, "Желтый"},        {0x1FFFFFFF, "Бесцветный"},
        {0x456BBA, "Коричневый"},  {0x80000000, "clScrollBar"}, {0x8000000F, "clBtnFace"},
        {0x80000018, "clInfoBk"},  {0x80000019, "$80000019"},   {0xFFFFFFFF, "$ffffffff"},
        {0x00ABCDEF, "$00abcdef"},
    };
    for (const auto& [value, name] : rows)
        EXPECT_EQ(ColorName(value), QString::fromUtf8(name)) << std::hex << value;
}

TEST(WeekdayName, DayNumberModSeven) {
    const std::pair<int, const char*> rows[] = {
        {7, "Суббота"}, {1, "Воскресенье"}, {2, "Понедельник"}, {6, "Пятница"},
        {0, "Суббота"}, {8, "Воскресенье"}, {-7, "Суббота"},    {-1, ""},
    };
    for (const auto& [day, name] : rows)
        EXPECT_EQ(WeekdayName(day), QString::fromUtf8(name)) << day;
}

TEST(CheckSavedFile, MissingShortAndZeroFilesAreReported) {
    TempDir dir;
    ScriptedPrompts prompts;
    const QString missing = QString::fromStdString(dir.file("нет.tra"));
    const QString shortFile = QString::fromStdString(dir.file("short.tra"));
    const QString zeros = QString::fromStdString(dir.file("zero.tra"));
    const QString good = QString::fromStdString(dir.file("good.tra"));
    const QString edge = QString::fromStdString(dir.file("edge.tra"));
    lvtest::writeBytes(shortFile.toStdString(), std::vector<uint8_t>(1023, 0x55));
    lvtest::writeBytes(zeros.toStdString(), std::vector<uint8_t>(2048, 0));
    std::vector<uint8_t> lastByteSet(200000, 0);
    lastByteSet.back() = 1; // beyond the first read block
    lvtest::writeBytes(good.toStdString(), lastByteSet);
    lvtest::writeBytes(edge.toStdString(), std::vector<uint8_t>(1024, 0x20));

    EXPECT_FALSE(CheckSavedFile(missing));
    EXPECT_FALSE(CheckSavedFile(shortFile));
    EXPECT_FALSE(CheckSavedFile(zeros));
    EXPECT_TRUE(CheckSavedFile(good));
    EXPECT_TRUE(CheckSavedFile(edge));
    EXPECT_TRUE(CheckSavedFile(QString()));

    ASSERT_EQ(prompts.Messages.size(), 3u);
    EXPECT_EQ(prompts.Messages[0].Text, "Файл " + missing.toStdString() + " не существует.");
    EXPECT_EQ(prompts.Messages[1].Text, "Файл " + shortFile.toStdString() + " имеет длину менее 1К.");
    EXPECT_EQ(prompts.Messages[2].Text,
              "В файл " + zeros.toStdString() +
                  " были записаны нулевые данные.\r\n"
                  "Это говорит о серьезной ошибке в системе.\r\n"
                  "Необходимо перезагрузить программу и повторить последние измерения!");
    for (const auto& m : prompts.Messages) {
        EXPECT_EQ(m.Type, TMsgDlgType::mtError);
        EXPECT_EQ(m.Buttons, static_cast<TMsgDlgButtons>(mbOK));
    }
}

TEST(RunFileDialog, SlashesLeaveOnlyTheFileName) {
    struct Row {
        const char* proposed;
        const char* dir;
        const char* mended;
    };
    const Row rows[] = {
        {"/data/Line 1/2: test(155)", "/data", "/data/Line 12: test(155)"},
        {"/data/Line 1/2(155) ", "/data/", "/data/Line 12(155)"},
        {"Барабан 1/2(131)", "/data/", "Барабан 12(131)"},
        {"/other/place/name.tra", "/data/", "/other/place/name.tra"},
        {"  (155)  ", "", "(155)"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MendProposedFileName(QString::fromUtf8(r.proposed), QString::fromUtf8(r.dir)),
                  QString::fromUtf8(r.mended))
            << r.proposed;

    ScriptedPrompts prompts;
    prompts.FileAnswers.push_back({"/data/a.tra", "/data/b.tra"});
    TFileDialogRequest request;
    request.Title = "Сохранить файл";
    request.InitialDir = "/data/";
    request.FileName = "/data/Линия 1/2(155)";
    request.Save = true;
    QString chosen;
    QStringList all;
    ASSERT_TRUE(RunFileDialog(request, false, chosen, &all));
    EXPECT_EQ(prompts.Dialogs.at(0).FileName, "/data/Линия 12(155)");
    EXPECT_EQ(prompts.Dialogs.at(0).InitialDir, "/data/");
    EXPECT_EQ(chosen, QStringLiteral("/data/a.tra"));
    EXPECT_EQ(all, (QStringList{"/data/a.tra", "/data/b.tra"}));

    // The filter the operator left chosen; the request's when the service cannot tell.
    request.FilterIndex = 3;
    int filter = 0;
    prompts.FileAnswers.push_back({"/data/a.emf"});
    prompts.FilterAnswers.push_back(2);
    ASSERT_TRUE(RunFileDialog(request, false, chosen, nullptr, &filter));
    EXPECT_EQ(filter, 2);
    prompts.FileAnswers.push_back({"/data/a.emf"});
    ASSERT_TRUE(RunFileDialog(request, false, chosen, nullptr, &filter));
    EXPECT_EQ(filter, 3);

    prompts.FileAnswers.push_back({}); // cancel
    EXPECT_FALSE(RunFileDialog(request, false, chosen, &all));
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_TRUE(all.isEmpty());
}

namespace {
class FailingDialogs : public ScriptedPrompts {
public:
    bool FileDialog(const TFileDialogRequest&, std::vector<std::string>&) override {
        throw std::runtime_error("dialog failed");
    }
};
} // namespace

TEST(RunFileDialog, AFailingDialogIsACancelUnlessErrorsAreRaised) {
    FailingDialogs prompts;
    TFileDialogRequest request;
    QString chosen = QStringLiteral("old");
    EXPECT_FALSE(RunFileDialog(request, false, chosen));
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_THROW(RunFileDialog(request, true, chosen), std::runtime_error);
}

TEST(ChooseFolder, DefaultsAndTheAnswerEndsWithASlash) {
    ScriptedPrompts prompts;
    prompts.FileAnswers.push_back({"/data/line"});
    QString folder = QStringLiteral("/start/");
    ASSERT_TRUE(ChooseFolder(QString(), 0, folder));
    EXPECT_EQ(folder, QStringLiteral("/data/line/"));
    const TFileDialogRequest& r = prompts.Dialogs.at(0);
    EXPECT_TRUE(r.SelectFolder);
    EXPECT_EQ(r.Title, "Выбор папки");
    EXPECT_EQ(r.Filter, "Папки| ");
    EXPECT_EQ(r.InitialDir, "/start/");

    TDirChooser chooser;
    chooser.Title = QStringLiteral("Укажите путь к данным (Входной контроль)");
    chooser.Filter = QStringLiteral("Папки|*.tra;*.sor");
    chooser.Folder = QStringLiteral("/data/line/");
    prompts.FileAnswers.push_back({}); // cancelled
    EXPECT_FALSE(chooser.Execute());
    EXPECT_EQ(chooser.Folder, QStringLiteral("/data/line/"));
    EXPECT_EQ(prompts.Dialogs.at(1).Filter, "Папки|*.tra;*.sor");
    EXPECT_EQ(prompts.Dialogs.at(1).Title, "Укажите путь к данным (Входной контроль)");
}

TEST(RunIndicated, WithoutCancelHandlerNoButtonAndClosesByItself) {
    bool ran = false;
    bool visibleWhileRunning = false;
    bool cancelHidden = false;
    int heightWhileRunning = 0;
    QString label;
    RunIndicated(QStringLiteral("Lumvaris"), QStringLiteral("Идет печать графиков"), nullptr, [&] {
        auto* form = qobject_cast<TIndicateOperationForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        ran = true;
        visibleWhileRunning = form->isVisible();
        cancelHidden = form->CancelButton()->isHidden();
        heightWhileRunning = form->height();
        label = form->MessageLabel()->text();
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Lumvaris"));
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(visibleWhileRunning);
    EXPECT_TRUE(cancelHidden);
    EXPECT_LT(heightWhileRunning, 130); // shrunk to the button's top
    EXPECT_EQ(label, QStringLiteral("Идет печать графиков"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(RunIndicated, CancelButtonCallsTheHandlerAndFailuresComeBack) {
    int cancelled = 0;
    bool stop = false;
    RunIndicated(
        QStringLiteral("Lumvaris"), QStringLiteral("Идет обработка"), [&] { ++cancelled, stop = true; },
        [&] {
            auto* form = qobject_cast<TIndicateOperationForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            EXPECT_FALSE(form->CancelButton()->isHidden());
            EXPECT_EQ(form->CancelButton()->text(), QStringLiteral("&Отмена"));
            form->CancelButton()->click();
            // A long operation lets events through and looks at its flag.
            for (int i = 0; i < 100 && !stop; ++i)
                QCoreApplication::processEvents();
        });
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(stop);

    EXPECT_THROW(RunIndicated(QStringLiteral("Lumvaris"), QStringLiteral("x"), nullptr,
                              [] { throw std::runtime_error("operation failed"); }),
                 std::runtime_error);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // the window did not stay behind
}

TEST(QtValueHelpers, SameFontAndNormalizeRect) {
    QFont a(QStringLiteral("Arial"), 8);
    QFont b = a;
    EXPECT_TRUE(SameFont(nullptr, nullptr));
    EXPECT_FALSE(SameFont(&a, nullptr));
    EXPECT_TRUE(SameFont(&a, &b));
    b.setBold(true);
    EXPECT_FALSE(SameFont(&a, &b));
    b = a;
    b.setPointSize(9);
    EXPECT_FALSE(SameFont(&a, &b));
    b = a;
    b.setFamily(QStringLiteral("Times New Roman"));
    EXPECT_FALSE(SameFont(&a, &b));

    const QRect backwards(QPoint(10, 20), QPoint(2, 5));
    const QRect n = NormalizeRect(backwards);
    EXPECT_EQ(n.left(), 2);
    EXPECT_EQ(n.top(), 5);
    EXPECT_EQ(n.right(), 10);
    EXPECT_EQ(n.bottom(), 20);
    EXPECT_EQ(NormalizeRect(n), n);
    EXPECT_TRUE(PointsDiffer(QPoint(1, 2), QPoint(1, 3)));
    EXPECT_FALSE(PointsDiffer(QPoint(1, 2), QPoint(1, 2)));
}

TEST(AboutBox, CaptionIconAndOkCloses) {
    bool checked = false;
    lvtest::WhenModal([&](QWidget* w) {
        auto* about = qobject_cast<TAboutForm*>(w);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), QStringLiteral("О программе"));
        bool hasIcon = false;
        for (QLabel* l : about->findChildren<QLabel*>())
            if (!l->pixmap().isNull()) hasIcon = true;
        EXPECT_TRUE(hasIcon);
        checked = true;
        about->OkBtn()->click();
    });
    ShowAboutBox();
    EXPECT_TRUE(checked);
}

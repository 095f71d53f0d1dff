// The windowed prompt service: message boxes and file dialogs as the core's requests ask.

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>
#include <QAbstractProxyModel>
#include <QFileSystemModel>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "ShellTestSupport.h"
#include "shell/uHelpViewer.h"
#include "shell/uQtPrompts.h"
#include "shell/uStartup.h"
#include "support/TempDir.h"

using namespace lv;

namespace {
QStringList buttonTexts(QMessageBox& box) {
    QStringList t;
    for (QAbstractButton* b : box.buttons())
        t << b->text();
    t.sort();
    return t;
}
int resultOf(QAbstractButton* b) {
    return b->property("modalResult").toInt();
}
} // namespace

TEST(QtPrompts, BoxesCarryRussianButtonsTitlesAndLineBreaks) {
    auto box = CreateMessageBox("Перезаписать файл /a/b.tra?\r\nВторая строка", TMsgDlgType::mtConfirmation,
                                mbYes | mbNo);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Подтверждение"));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->text(), QStringLiteral("Перезаписать файл /a/b.tra?\nВторая строка"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(buttonTexts(*box), (QStringList{"Да", "Нет"}));
    EXPECT_EQ(resultOf(box->defaultButton()), mrYes);
    EXPECT_EQ(resultOf(box->escapeButton()), mrNo);

    box = CreateMessageBox("Ошибка <b>&", TMsgDlgType::mtError, mbOK | mbHelp);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Ошибка"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(buttonTexts(*box), (QStringList{"OK", "Справка"}));
    EXPECT_EQ(resultOf(box->defaultButton()), mrOk);
    EXPECT_EQ(resultOf(box->escapeButton()), mrOk);

    box = CreateMessageBox("x", TMsgDlgType::mtWarning, mbOK | mbCancel);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Предупреждение"));
    EXPECT_EQ(buttonTexts(*box), (QStringList{"OK", "Отмена"}));
    EXPECT_EQ(resultOf(box->escapeButton()), mrCancel);

    box = CreateMessageBox("x", TMsgDlgType::mtInformation, 0); // no button asked: OK
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Информация"));
    EXPECT_EQ(buttonTexts(*box), QStringList{"OK"});

    box = CreateMessageBox("x", TMsgDlgType::mtConfirmation,
                           mbAbort | mbRetry | mbIgnore | mbAll | mbNoToAll | mbYesToAll);
    EXPECT_EQ(buttonTexts(*box),
              (QStringList{"Все", "Да для всех", "Нет для всех", "Повторить", "Прервать", "Пропустить"}));
    EXPECT_EQ(resultOf(box->defaultButton()), mrRetry);
}

TEST(QtPrompts, MessageDlgAnswersTheClickedButtonAndHelpKeepsTheQuestion) {
    TQtPromptService service;
    lvtest::WhenModal([](QWidget* w) { lvtest::ButtonText(w, QStringLiteral("Нет"))->click(); });
    EXPECT_EQ(service.MessageDlg("Перезаписать?", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0), mrNo);

    // Help opens the help window over the box; closing it brings the same question back.
    bool helpShown = false;
    lvtest::WhenModal([&](QWidget* box) {
        lvtest::WhenModal(
            [&](QWidget* help) {
                helpShown =
                    help == HelpViewer() && HelpViewer()->CurrentPage() == QStringLiteral("index.html");
                lvtest::WhenModal(
                    [](QWidget* again) { lvtest::ButtonText(again, QStringLiteral("Да"))->click(); }, help);
                help->close();
            },
            box);
        lvtest::ButtonText(box, QStringLiteral("Справка"))->click();
    });
    EXPECT_EQ(service.MessageDlg("Продолжить?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp, 0),
              mrYes);
    EXPECT_TRUE(helpShown);
    EXPECT_EQ(HelpViewer()->windowModality(), Qt::NonModal);
    HelpQuit();
}

TEST(QtPrompts, AChoiceKeepsItsCaptionsAndAnswersTheIndexChosen) {
    const TChoiceRequest request{"Файл записан прибором.\r\nПерезаписать?",
                                 TMsgDlgType::mtWarning,
                                 {"Да", "Нет", "Сохранить как…"},
                                 1,
                                 1};
    auto box = CreateChoiceBox(request);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Предупреждение"));
    EXPECT_EQ(box->text(), QStringLiteral("Файл записан прибором.\nПерезаписать?"));
    EXPECT_EQ(buttonTexts(*box), (QStringList{"Да", "Нет", "Сохранить как…"}));
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Нет"));
    EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("Нет"));

    TQtPromptService service;
    lvtest::WhenModal([](QWidget* w) { lvtest::ButtonText(w, QStringLiteral("Сохранить как…"))->click(); });
    EXPECT_EQ(service.ChoiceDlg(request), 2);
    lvtest::WhenModal([](QWidget* w) { w->close(); });
    EXPECT_EQ(service.ChoiceDlg(request), 1) << "closing the box chooses the cancel button";
}

TEST(QtPrompts, FiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Файлы TRA (*.tra)|*.tra|Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*"),
              (QStringList{"Файлы TRA (*.tra)", "Файлы Bellcore (*.sor)", "Все файлы (*)"}));
    EXPECT_EQ(QtNameFilters("Растровые изображения (*.bmp)|*.bmp|Метафайлы (*.emf;*wmf)|*.emf;*.wmf"),
              (QStringList{"Растровые изображения (*.bmp)", "Метафайлы (*.emf *.wmf)"}));
    EXPECT_EQ(QtNameFilters("Папки|*.tra;*.sor;*.mif"), QStringList{"Папки (*.tra *.sor *.mif)"});
    EXPECT_TRUE(QtNameFilters("Папки| ").isEmpty());
    EXPECT_TRUE(QtNameFilters("").isEmpty());
    EXPECT_TRUE(QtNameFilters("Описание без шаблона").isEmpty());

    // Back from Qt's name filter to the entry it stands for, entries without patterns counted.
    const std::string filter = "Растровые изображения (*.bmp)|*.bmp|Папки| |Метафайлы (*.emf;*wmf)|*.emf;*.wmf";
    EXPECT_EQ(FilterIndexOf(filter, QStringLiteral("Растровые изображения (*.bmp)")), 1);
    EXPECT_EQ(FilterIndexOf(filter, QStringLiteral("Метафайлы (*.emf *.wmf)")), 3);
    EXPECT_EQ(FilterIndexOf(filter, QStringLiteral("Метафайлы (*.emf;*wmf)")), 0);
}

TEST(QtPrompts, FileDialogFollowsTheRequest) {
    TFileDialogRequest save;
    save.Save = true;
    save.Title = "Сохранить файл";
    save.Filter = "Файлы TRA (*.tra)|*.tra|Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*";
    save.FilterIndex = 2;
    save.DefaultExt = ".tra";
    save.InitialDir = "/tmp";
    save.FileName = "/tmp/Барабан 12(155)";
    save.OverwritePrompt = true;
    {
        QFileDialog d;
        ConfigureFileDialog(d, save);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Сохранить файл"));
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d.fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(d.defaultSuffix(), QStringLiteral("tra"));
        EXPECT_EQ(d.nameFilters().size(), 3);
        EXPECT_EQ(d.selectedNameFilter(), QStringLiteral("Файлы Bellcore (*.sor)"));
        EXPECT_EQ(FilterIndexOf(save.Filter, d.selectedNameFilter()), 2);
        EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(d.directory().absolutePath(), QStringLiteral("/tmp"));
    }
    TFileDialogRequest open = save;
    open.Save = false;
    open.Title = "Открыть файл";
    open.AllowMultiSelect = true;
    open.FilterIndex = 9; // out of range: the first entry
    open.OverwritePrompt = false;
    {
        QFileDialog d;
        ConfigureFileDialog(d, open);
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(d.selectedNameFilter(), QStringLiteral("Файлы TRA (*.tra)"));
        EXPECT_TRUE(d.testOption(QFileDialog::DontConfirmOverwrite));
    }
    // A request without a folder starts in the working folder, not where the last dialog was.
    open.InitialDir.clear();
    open.FileName.clear();
    {
        QFileDialog d;
        ConfigureFileDialog(d, open);
        EXPECT_EQ(d.directory().absolutePath(), QDir::currentPath());
    }
    TFileDialogRequest folder;
    folder.SelectFolder = true;
    folder.Filter = "Папки| ";
    {
        QFileDialog d;
        ConfigureFileDialog(d, folder);
        EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(d.testOption(QFileDialog::ShowDirsOnly));
    }
    folder.Filter = "Папки|*.tra;*.sor";
    {
        QFileDialog d;
        ConfigureFileDialog(d, folder);
        EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
        EXPECT_FALSE(d.testOption(QFileDialog::ShowDirsOnly)); // trace files shown for orientation
        EXPECT_EQ(d.nameFilters(), QStringList{"Папки (*.tra *.sor)"});
    }
}

// Qt writes "KiB" and "bytes" in every language: the program's file dialogs, always Qt's own
// (the desktop's may speak no Russian), list sizes in Russian units.
TEST(QtPrompts, FileDialogsListSizesInRussian) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const std::pair<qint64, const char*> sizes[] = {
        {0, "0 байт"},      {1, "1 байт"},       {3, "3 байта"},       {11, "11 байт"},
        {13, "13 байт"},    {22, "22 байта"},    {1023, "1023 байта"},  {2048, "2,00 КБ"},
        {5000000, "4,77 МБ"}, {3LL << 30, "3,00 ГБ"},
    };
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(RussianDataSize(bytes), QString::fromUtf8(text)) << bytes;

    lvtest::TempDir dir;
    for (const auto& [name, bytes] : {std::pair{"a.tra", 3}, std::pair{"b.sor", 5000}}) {
        QFile f(QString::fromStdString(dir.file(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
    }
    TFileDialogRequest open;
    open.InitialDir = dir.path();
    QFileDialog d;
    ConfigureFileDialog(d, open);
    EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
    QAbstractProxyModel* proxy = d.proxyModel();
    ASSERT_NE(proxy, nullptr);
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    ASSERT_NE(files, nullptr);
    const std::pair<const char*, const char*> shown[] = {{"a.tra", "3 байта"}, {"b.sor", "4,88 КБ"}};
    for (const auto& [name, text] : shown) {
        const QString path = QString::fromStdString(dir.file(name));
        QElapsedTimer clock;
        clock.start();
        QModelIndex source = files->index(path, 1);
        while (files->size(source) == 0 && clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            source = files->index(path, 1);
        }
        EXPECT_EQ(proxy->mapFromSource(source).data().toString(), QString::fromUtf8(text)) << name;
    }
    QLocale::setDefault(saved);
}

TEST(QtPrompts, QtsOwnDialogsSpeakRussianOnceTranslationsAreLoaded) {
    ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    // The type column of the file dialogs: Qt's own Russian file lacks these texts.
    const QFileIconProvider icons;
    EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));
    EXPECT_EQ(icons.type(QFileInfo(QStringLiteral("/"))), QStringLiteral("Диск"));
}

// The trace documents of the main window: open, close, save, save as, save all, save before
// print, and the title prompt.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "display/uGraphsCmps.h"
#include "shell/Commonun.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uTraceNames.h"
#include "trace/uGraphIntfs.h"

namespace lv {

const char* const kTraceFileFilter = "Файлы TRA (*.tra)|*.tra|Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*";
const char* const kMsgOverwriteFile = "Перезаписать файл ";
const char* const kMsgFilesDuringProcessing =
    "В данный момент невозможно открыть файлы, так как Вы работаете в режиме потоковой обработки "
    "трасс.\r\nЗавершите режим потоковой обработки трасс и повторите попытку.";
const char* const kMsgFileNotOpened = "Файл \"%s\" не открыт.";
const char* const kMsgFilesNotOpened = "Не открыты и выбранные после него файлы (%1):";

namespace {

QString storeFileName(TRDataStorage* store) {
    return store ? QString::fromStdString(store->Caption()) : QString();
}

bool confirmOverwrite(const QString& fileName) {
    const std::string text = kMsgOverwriteFile + QDir::toNativeSeparators(fileName).toStdString() + "?";
    return MessageDlg(text, TMsgDlgType::mtConfirmation, mbYes | mbNo) == mrYes;
}

enum class TForeignSave { Overwrite, Keep, SaveAs };

// Before an instrument's own file is rewritten: what goes, and a copy as the way out; Enter and
// Escape keep the file.
TForeignSave askForeignSave(const QString& fileName, TRDataStorage& store) {
    TChoiceRequest r;
    r.Text = ForeignSaveQuestion(QDir::toNativeSeparators(fileName).toStdString(), store);
    r.Type = TMsgDlgType::mtWarning;
    r.Buttons = {"Да", "Нет", "Сохранить как…"};
    r.DefaultButton = 1;
    r.CancelButton = 1;
    switch (ChoiceDlg(r)) {
    case 0:
        return TForeignSave::Overwrite;
    case 2:
        return TForeignSave::SaveAs;
    default:
        return TForeignSave::Keep;
    }
}

QString folderOf(const QString& fileName) {
    return FolderWithSeparator(QFileInfo(fileName).absolutePath());
}

} // namespace

std::string ForeignSaveQuestion(const std::string& fileName, TRDataStorage& store) {
    const TTraceEvents* events = store.KeyEvents();
    std::string blocks;
    for (const std::string& b : store.SorBlocksNotKept()) {
        if (events && b == "KeyEvents") continue; // named as the event table
        blocks += (blocks.empty() ? "" : ", ") + b;
    }
    std::string text = "Файл " + fileName +
                       " записан прибором. При сохранении он будет перезаписан в формате программы, и в нём "
                       "не останется:";
    if (events)
        text += "\r\n– таблицы событий прибора (событий: " + std::to_string(events->Events.size()) + ");";
    text += "\r\n– собственных данных прибора (" +
            (blocks.empty() ? std::string() : "блоки " + blocks + " и ") +
            "настройки, которых программа не хранит).";
    text += "\r\nПерезаписать файл? Чтобы сохранить трассу в другой файл, оставив этот как есть, выберите "
            "«Сохранить как…».";
    return text;
}

TMainDataItem* TMainForm::ActiveTrace() const {
    return MainGraph->ActiveTrace();
}

int TMainForm::TraceCount() const {
    return MainGraph->Data().Count();
}

TMainDataItem* TMainForm::Trace(int index) const {
    return dynamic_cast<TMainDataItem*>(MainGraph->Data().Item(index));
}

QString TMainForm::DataFolder() const {
    return FolderWithSeparator(QString::fromStdString(m_settings.DataDir));
}

// ---- open and close ---------------------------------------------------------------------------------

void TMainForm::OpenTraces() {
    TFileDialogRequest r;
    r.Title = "Открыть файл";
    r.Filter = kTraceFileFilter;
    r.FilterIndex = 3;
    r.DefaultExt = "tra";
    // The folder of the last several files chosen, else the data folder (which the program
    // keeps instead of changing its working folder), else the working folder; never wherever the
    // last dialog of any kind happened to be.
    QString start = LastOpenDir.isEmpty() ? DataFolder() : LastOpenDir;
    if (start.isEmpty()) start = FolderWithSeparator(QDir::currentPath());
    r.InitialDir = start.toStdString();
    r.AllowMultiSelect = true;
    r.HideReadOnly = true;
    QString first;
    QStringList files;
    if (!RunFileDialog(r, false, first, &files)) return;
    if (files.size() > 1) LastOpenDir = folderOf(files.front());
    // A file that cannot be loaded still ends the operation, but the operator learns which one
    // it was and which of the chosen files were not opened after it.
    std::exception_ptr raised;
    const int loaded = loadUntilFailure(files, raised);
    if (raised) runCommand([raised] { std::rethrow_exception(raised); });
    if (loaded < files.size()) MessageDlg(NotOpenedMessage(files, loaded), TMsgDlgType::mtError, mbOK);
}

std::string TMainForm::NotOpenedMessage(const QStringList& files, int failed) {
    constexpr int kListed = 10;
    std::string text = QString::fromUtf8(kMsgFileNotOpened)
                           .replace(QStringLiteral("%s"), QDir::toNativeSeparators(files.value(failed)))
                           .toStdString();
    const int rest = int(files.size()) - failed - 1;
    if (rest <= 0) return text;
    text += "\r\n" + QString::fromUtf8(kMsgFilesNotOpened).arg(rest).toStdString();
    for (int i = failed + 1; i < files.size() && i <= failed + kListed; ++i)
        text += "\r\n" + QFileInfo(files[i]).fileName().toStdString();
    if (rest > kListed) text += "\r\n" + QStringLiteral("и ещё %1").arg(rest - kListed).toStdString();
    return text;
}

int TMainForm::loadUntilFailure(const QStringList& files, std::exception_ptr& raised) {
    int loaded = 0;
    for (const QString& f : files) {
        try {
            if (!loadOne(f)) break;
        } catch (...) {
            raised = std::current_exception();
            break;
        }
        ++loaded;
    }
    return loaded;
}

int TMainForm::OpenTraceFiles(const QStringList& files) {
    std::exception_ptr raised;
    const int loaded = loadUntilFailure(files, raised);
    if (raised) std::rethrow_exception(raised);
    return loaded;
}

bool TMainForm::loadOne(const QString& fileName) {
    // The store belongs to the data module and frees itself when its item goes.
    auto* store = new TRDataStorage(&m_workData);
    auto* item = new TMainDataItem(&MainGraph->Data());
    item->SetStorage(store);
    bool ok = false;
    try {
        ok = item->LoadFromFile(fileName.toStdString(), false);
    } catch (...) {
        delete item;
        throw;
    }
    if (!ok) {
        delete item;
        return false;
    }
    // Construction documentation works with least-squares fits and keeps them in the file at
    // once, but an instrument's own file is never rewritten behind the operator's back.
    if (m_processingMode == pmConstruction && item->ApproxMode() != 1) {
        item->SetApproxMode(1);
        saveChangedTrace(item);
    }
    return true;
}

int TMainForm::OpenTraceFiles(const std::vector<std::string>& files) {
    QStringList names;
    for (const std::string& f : files)
        names << QString::fromStdString(f);
    return OpenTraceFiles(names);
}

void TMainForm::OpenCommandLineFiles(const QStringList& files) {
    // The graphs paint once, when all the traces are in: a repaint per trace would cost more than
    // reading it.
    TGraphView::TUpdateGuard mainLock(*MainGraph);
    TGraphView::TUpdateGuard overviewLock(*OverviewGraph);
    for (const QString& f : files) {
        runCommand([&] { OpenTraceFiles({QFileInfo(f).absoluteFilePath()}); });
        // Each trace arrives in the graph before the next is read, as if opened one by one: the
        // first one alone sets the graph's world.
        QCoreApplication::processEvents();
    }
}

void TMainForm::OpenHandedOverFiles(const QStringList& files) {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    if (m_processingMode != pmNormal) {
        MessageDlg(std::string(kMsgFilesDuringProcessing), TMsgDlgType::mtInformation, mbOK);
        return;
    }
    OpenCommandLineFiles(files);
}

void TMainForm::CloseTrace() {
    TGData& data = MainGraph->Data();
    if (data.Count() == 0) return;
    delete data.Item(0);
    if (data.Count() == 0) MainGraph->InvalidateArea(woHeader);
}

void TMainForm::CloseAllTraces() {
    TGData& data = MainGraph->Data();
    while (data.Count() > 0) {
        // Notices still queued for the traces are handled while the last one is there.
        if (data.Count() == 1) QCoreApplication::processEvents();
        if (data.Count() == 0) break;
        delete data.Item(0);
    }
    MainGraph->InvalidateArea(woHeader);
}

// ---- titles ---------------------------------------------------------------------------------------------

QString TMainForm::TitlePrompt(const QString& defaultText, TColor colour) {
    QString value = defaultText;
    const QString prompt = QStringLiteral("Введите заголовок для графика (") + ColorName(colour) + u')';
    if (!InputQuery(QStringLiteral("Ввод заголовка"), prompt, value, this)) value = defaultText;
    return CleanTitle(value);
}

void TMainForm::askCaption(TMainDataItem* item) {
    if (item->Caption().isEmpty()) item->SetCaption(TitlePrompt({}, item->Colour()));
}

void TMainForm::titleByDoubleClick() {
    const auto area = MainGraph->AreaAt();
    if (!area || area->first != woHeader) return;
    TMainDataItem* item = ActiveTrace();
    if (!item || !item->Storage()) return;
    const QString title = TitlePrompt(item->Caption(), item->Colour());
    if (title.compare(item->Caption(), Qt::CaseInsensitive) != 0) item->SetCaption(title);
}

// ---- saving ---------------------------------------------------------------------------------------------

void TMainForm::SaveTrace() {
    TMainDataItem* item = ActiveTrace();
    if (!item) return;
    TRDataStorage* store = item->Trace();
    const QString name = storeFileName(store);
    if (name.isEmpty()) {
        SaveTraceAs();
        return;
    }
    // An instrument's file is rewritten only when the operator says so, knowing what it loses.
    if (store->SorForeign()) {
        const TForeignSave answer = askForeignSave(name, *store);
        if (answer == TForeignSave::SaveAs) saveAs(item, true);
        if (answer != TForeignSave::Overwrite) return;
    }
    if (!item->SaveToFile({}, true)) return;
    CheckSavedFile(storeFileName(store));
    MainGraph->InvalidateArea(woHeader);
}

void TMainForm::SaveTraceAs() {
    if (TMainDataItem* item = ActiveTrace()) saveAs(item, true);
}

QString TMainForm::saveDialogFolder(TRDataStorage* store) const {
    if (!m_settings.DataDir.empty()) return DataFolder();
    // Without a data folder: beside the trace's own file, else the working folder.
    const QString own = storeFileName(store);
    return own.isEmpty() ? FolderWithSeparator(QDir::currentPath()) : folderOf(own);
}

bool TMainForm::saveAs(TMainDataItem* item, bool showName) {
    TRDataStorage* store = item->Trace();
    if (!store) return false;
    askCaption(item);
    const QString folder = saveDialogFolder(store);
    TFileDialogRequest r;
    r.Save = true;
    r.Title = "Сохранить файл";
    r.Filter = kTraceFileFilter;
    r.FilterIndex = 1;
    r.DefaultExt = "tra";
    r.InitialDir = folder.toStdString();
    r.FileName = (folder + SuggestedSaveName(item->Caption(), item->TraceValue(tvWaveLength))).toStdString();
    r.OverwritePrompt = true;
    r.HideReadOnly = true;
    QString fileName;
    if (!RunFileDialog(r, false, fileName)) return false;
    if (!item->SaveToFile(fileName.toStdString(), false)) return false;
    const QString saved = storeFileName(store);
    CheckSavedFile(saved);
    if (showName) m_namePanel->SetFileName(saved);
    MainGraph->InvalidateArea(woHeader);
    return true;
}

void TMainForm::SaveAllTraces() {
    int saved = 0;
    for (int i = 0; i < TraceCount(); ++i) {
        TMainDataItem* item = Trace(i);
        if (!item || !item->Valid()) continue;
        TRDataStorage* store = item->Trace();
        const QString name = storeFileName(store);
        if (!name.isEmpty() && store->SorForeign()) {
            // The instrument's file is asked about as "Сохранить" asks.
            const TForeignSave answer = askForeignSave(name, *store);
            if (answer == TForeignSave::SaveAs && saveAs(item, false)) ++saved;
            if (answer == TForeignSave::Overwrite && item->SaveToFile({}, true)) {
                CheckSavedFile(name);
                ++saved;
            }
        } else if (!name.isEmpty()) {
            if (confirmOverwrite(name) && item->SaveToFile({}, true)) {
                CheckSavedFile(name);
                ++saved;
            }
        } else if (saveAs(item, false)) {
            ++saved;
        }
    }
    if (saved > 0) MainGraph->InvalidateArea(woHeader);
}

int TMainForm::SaveTracesBeforePrint() {
    int saved = 0;
    for (int i = 0; i < TraceCount(); ++i) {
        TMainDataItem* item = Trace(i);
        if (!item || !item->Valid()) continue;
        TRDataStorage* store = item->Trace();
        askCaption(item);
        // Without a data folder the trace stays beside its own file.
        const QString folder = saveDialogFolder(store);
        const QString name = DataFolderName(folder, item->Caption(), item->TraceValue(tvWaveLength));
        if (!LiesDirectlyIn(name, folder)) continue;
        if (QFileInfo::exists(name) && !confirmOverwrite(name)) continue;
        bool ok = false;
        runCommand([&] { ok = item->SaveToFile(name.toStdString(), false); });
        if (!ok) continue;
        CheckSavedFile(storeFileName(store));
        ++saved;
    }
    if (saved > 0) MainGraph->InvalidateArea(woHeader);
    return saved;
}

} // namespace lv

// "Обработать потоком в Bellcore...": the batch conversion of every open trace with the dialog
// "Потоковая обработка", its tasks under the progress window, the batch pages and the completion
// message.

#include <QFileInfo>

#include <memory>

#include "display/uGraphsCmps.h"
#include "reports/uSORFlow.h"
#include "shell/Commonun.h"
#include "shell/fInBeforeForm.h"
#include "shell/fMainForm.h"
#include "shell/fSORFlow.h"
#include "shell/uIndicatedWork.h"
#include "shell/uTraceNames.h"
#include "trace/uGraphIntfs.h"

namespace lv {

QString TMainForm::BatchDataFolder() const {
    if (m_processingMode != pmNormal && !m_settings.FlowDir.empty())
        return FolderWithSeparator(QString::fromStdString(m_settings.FlowDir));
    if (!m_settings.DataDir.empty()) return DataFolder();
    TMainDataItem* current = ActiveTrace();
    const QString own = current ? current->SourceFileName() : QString();
    return own.isEmpty() ? QString() : FolderWithSeparator(QFileInfo(own).absolutePath());
}

void TMainForm::ProcessSOR() {
    TMainDataItem* current = ActiveTrace();
    if (!current || !current->Trace()) return;
    auto* inspection = qobject_cast<TInBeforeForm*>(m_modeWindow.data());
    std::unique_ptr<TSORFlowForm> own;
    TSORFlowForm* dialog = inspection ? &inspection->FlowDialog() : nullptr;
    if (!dialog) {
        own = std::make_unique<TSORFlowForm>(this);
        own->LoadStored();
        TSORFlowParams p = own->Params();
        FillSORFlowFromTrace(p, *current->Trace(), m_settings.WorkerNum);
        own->SetParams(p);
        dialog = own.get();
    }
    dialog->SetDataFolder(BatchDataFolder());
    // OK has stored the values (and made the target folder).
    if (dialog->exec() != QDialog::Accepted) return;
    const TSORFlowParams params = dialog->Params();
    if (inspection) inspection->RefreshParams();
    if (!params.AnyTask()) return;

    TSORFlowOutcome outcome;
    if (params.ParT || params.SaveT) {
        std::vector<TRDataStorage*> traces;
        for (int i = 0; i < TraceCount(); ++i)
            if (TMainDataItem* item = Trace(i)) traces.push_back(item->Trace());
        const std::string folder = SORFlowTargetFolder(params, BatchDataFolder().toStdString());
        TSORFlowHooks hooks;
        hooks.AskTargetName = [this](TRDataStorage& trace) -> std::string {
            TMainDataItem* item = nullptr;
            for (int i = 0; i < TraceCount() && !item; ++i)
                if (Trace(i) && Trace(i)->Trace() == &trace) item = Trace(i);
            TFileDialogRequest r;
            r.Save = true;
            r.Title = kSORFlowSaveTitle;
            r.Filter = kSORFlowSaveFilter;
            r.DefaultExt = "sor";
            r.InitialDir = DataFolder().toStdString();
            // The description is the wavelength code, as "save as" proposes it.
            r.FileName =
                (DataFolder() + SuggestedSaveName(item ? item->Caption() : QString(), trace.WaveLengthUm))
                    .toStdString();
            r.OverwritePrompt = true;
            QString chosen;
            return RunFileDialog(r, false, chosen) ? chosen.toStdString() : std::string();
        };
        TRDataStorage* reference = current->Trace();
        RunIndicatedWork(QStringLiteral("Lumvaris"),
                         QString::fromUtf8(kSORFlowCaption) + QStringLiteral("..."),
                         [&](IProgress& progress) {
                             // Every trace changes: the graphs paint once, afterwards.
                             TGraphView::TUpdateGuard mainLock(*MainGraph);
                             TGraphView::TUpdateGuard overviewLock(*OverviewGraph);
                             outcome = RunSORFlow(params, traces, reference, folder, progress, hooks);
                         });
        // The traces now name their ".sor" files and carry the current trace's markers.
        RefreshTraceViews();
    }
    if (params.PrintT) {
        RusPrint = params.RusPrint;
        PrintBatchPages();
    }
    MessageDlg(outcome.Message(),
               outcome.AllConverted() ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning, mbOK);
}

} // namespace lv

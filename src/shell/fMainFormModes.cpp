// The processing modes of the main window: entering one from its command with a data folder,
// the controls of each mode, the mode's window, leaving it; and opening the fibre traces of a
// folder set.

#include <QAction>
#include <QCoreApplication>
#include <QDir>

#include "display/uGraphsCmps.h"
#include "reports/uInspection.h"
#include "shell/Commonun.h"
#include "shell/fChooseMask.h"
#include "shell/fFlowForm.h"
#include "shell/fInBeforeForm.h"
#include "shell/fMainForm.h"
#include "shell/uIndicatedWork.h"
#include "shell/uTraceNames.h"
#include "trace/Errors.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uGraphIntfs.h"

namespace lv {

namespace {

const char* const kOpenCloseCommands[] = {"Open1", "Open1B", "Close1", "Close1B", "CloseAll1"};
const char* const kModeCommands[] = {"InControl1",      "InControl1B", "BeforeControl1",
                                     "BeforeControl1B", "Flow1",       "Flow1B"};

} // namespace

void TMainForm::createModeCommands() {
    auto bind = [this](const char* name, std::function<void()> work) {
        QAction* a = Command(QString::fromLatin1(name));
        m_pending.removeOne(a);
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, [this, work] { runCommand(work); });
    };
    const std::pair<const char*, int> enter[] = {
        {"InControl1", pmIncoming},        {"InControl1B", pmIncoming}, {"BeforeControl1", pmPreInstall},
        {"BeforeControl1B", pmPreInstall}, {"Flow1", pmConstruction},   {"Flow1B", pmConstruction}};
    for (const auto& [name, mode] : enter)
        bind(name, [this, mode = mode] { EnterProcessingMode(mode); });
    for (const char* name : {"ProcessSOR1", "ProcessSOR1B"})
        bind(name, [this] { ProcessSOR(); });
}

void TMainForm::applyProcessingModeToControls() {
    const bool normal = m_processingMode == pmNormal;
    for (const char* name : kOpenCloseCommands)
        Command(QString::fromLatin1(name))->setVisible(normal);
    for (const char* name : {"Open1", "Open1B"})
        Command(QString::fromLatin1(name))->setEnabled(normal);
    for (const char* name : kModeCommands)
        Command(QString::fromLatin1(name))->setEnabled(normal);
    // The popup's and the toolbar's marker or splice commands.
    applyModeToControls();
}

void TMainForm::EnterProcessingMode(int mode) {
    if (m_processingMode != pmNormal || ModeName(mode).empty()) return;
    m_lineName.clear();
    QString folder = QString::fromStdString(m_settings.FlowDir);
    if (folder.isEmpty()) folder = FolderWithSeparator(QCoreApplication::applicationDirPath());
    if (!ChooseFolder(QString::fromStdString(DataFolderTitle(mode)), 0, folder,
                      QString::fromStdString(DataFolderFilter(mode))))
        return;
    const std::string dataFolder = NormaliseDataFolder(folder.toStdString());
    m_settings.FlowDir = dataFolder;
    m_lineName = QString::fromStdString(LineNameOf(dataFolder));
    if (!DataFolderHasData(dataFolder, mode)) {
        const QString shown = QDir::toNativeSeparators(QString::fromStdString(dataFolder));
        MessageDlg(FormatS(kMsgFolderHasNoData, shown.toStdString()), TMsgDlgType::mtError, mbOK);
        return;
    }

    CloseAllTraces();
    m_fibreNumbers.clear();
    m_processingMode = mode;
    applyProcessingModeToControls();
    QWidget* window = nullptr;
    try {
        if (mode == pmConstruction) {
            TFlowForm* flow = TFlowForm::OpenForLine(dataFolder, m_lineName.toStdString(), *this,
                                                     DialogMaskChooser(this));
            if (!flow) {
                // The operator would not go on without a splice table that cannot be read.
                m_processingMode = pmNormal;
                applyProcessingModeToControls();
                CloseAllTraces();
                return;
            }
            connect(flow, &TFlowForm::Closed, this, &TMainForm::LeaveProcessingMode);
            window = flow;
        } else {
            window = new TInBeforeForm(*this, mode, QString::fromStdString(dataFolder));
        }
        m_modeWindow = window;
        window->show();
    } catch (...) {
        // The window takes the mode with it; the traces it opened go as well.
        m_modeWindow = nullptr;
        delete window;
        m_processingMode = pmNormal;
        applyProcessingModeToControls();
        CloseAllTraces();
        m_fibreNumbers.clear();
        throw;
    }
}

void TMainForm::LeaveProcessingMode() {
    if (m_processingMode == pmNormal) return;
    m_modeWindow = nullptr;
    m_processingMode = pmNormal;
    applyProcessingModeToControls();
    CloseAllTraces();
    m_fibreNumbers.clear();
}

int TMainForm::OpenFibreSet(const std::vector<TFibreFile>& files) {
    std::vector<TSetFileFailure> skipped;
    int opened = 0;
    RunIndicatedWork(
        QStringLiteral("Lumvaris"), QStringLiteral("Идет загрузка трасс..."),
        [&](IProgress& progress) {
            // The graphs paint once, when the set is in.
            TGraphView::TUpdateGuard mainLock(*MainGraph);
            TGraphView::TUpdateGuard overviewLock(*OverviewGraph);
            const int total = static_cast<int>(files.size());
            for (int i = 0; i < total; ++i) {
                const TFibreFile& f = files[static_cast<size_t>(i)];
                progress.Step(i, total, f.Path);
                bool ok = false;
                TErrorCollector errors;
                try {
                    ok = loadOne(QString::fromStdString(f.Path));
                } catch (...) {
                    errors.Add(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory));
                }
                if (!ok) {
                    skipped.push_back({f.Path, errors.Text});
                    continue;
                }
                m_fibreNumbers[Trace(0)->Trace()] = f.Number;
                // The first trace alone sets the graph's world; the others' notices follow in
                // order while the progress window lets events through.
                if (++opened == 1) QCoreApplication::processEvents();
            }
        },
        false);
    if (!skipped.empty()) MessageDlg(SkippedSetFilesMessage(skipped), TMsgDlgType::mtWarning, mbOK);
    return opened;
}

int TMainForm::FibreNumberOf(TRDataStorage* store) const {
    if (!store) return 0;
    const auto it = m_fibreNumbers.find(store);
    return it != m_fibreNumbers.end() ? it->second : FibreNumberOfFile(store->Caption());
}

void TMainForm::RefreshTraceViews() {
    MainGraph->InvalidateArea(woHeader);
    MainGraph->InvalidateArea(woContent);
    fillPanelValues(ActiveTrace());
    PanelUpdateRequest(puValues);
}

} // namespace lv

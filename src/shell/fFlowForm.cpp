#include "shell/fFlowForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "display/NumberFormat.h"
#include "display/uGraphsCmps.h"
#include "shell/Commonun.h"
#include "shell/fIndicateOperation.h"
#include "shell/fMainForm.h"
#include "reports/uSpreadsheet.h"
#include "shell/uUsersOffice.h"
#include "shell/uHelpViewer.h"
#include "shell/uStartup.h"
#include "trace/Errors.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uGraphIntfs.h"


namespace lv {

const char* const kFlowDirectionAB = "Направление: от А к Б (папка AB)";
const char* const kFlowDirectionBA = "Направление: от Б к А (папка BA)";
const char* const kMsgReportRunning = "Идет формирование отчета...";

namespace {

enum TGridColumn { colName, colFromA, colFromB };

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString km3(const TOptKm& km) {
    return km ? FormatFloat(*km, TFloatFormat::Fixed, 3, QLocale().decimalPoint()) : QString();
}

// The progress window's message follows the report's steps; its Cancel stops the measuring.
class TIndicatedProgress : public IProgress {
public:
    void Step(int done, int total, const std::string& text) override {
        if (auto* form = qobject_cast<TIndicateOperationForm*>(QApplication::activeModalWidget())) {
            QString message = q(kMsgReportRunning);
            if (total > 0) message += QStringLiteral("\n%1 / %2").arg(done).arg(total);
            if (!text.empty()) message += u'\n' + QString::fromStdString(text);
            form->MessageLabel()->setText(message);
        }
        QCoreApplication::processEvents();
    }
    bool Cancelled() const override { return m_cancelled; }
    void Cancel() { m_cancelled = true; }

private:
    bool m_cancelled = false;
};

// The window's toolbar: component name, hint, picture.
struct TFlowCommand {
    const char* Name;
    const char* Hint;
    const char* Icon;
    void (TFlowForm::*Run)();
};
const TFlowCommand kCommands[] = {
    {"SetStart1", "Установить начало трассы", "trace_start", &TFlowForm::SetStartCommand},
    {"SetMuff", "Поставить муфту", "muff", &TFlowForm::SetMuffCommand},
    {"NoteMuff", "Название муфты", "muff_name", &TFlowForm::NoteMuffCommand},
    {"DelMuff", "Стереть муфту", "muff_delete", &TFlowForm::DelMuffCommand},
    {"SetEnd1", "Установить конец трассы", "trace_end", &TFlowForm::SetEndCommand},
    {nullptr, nullptr, nullptr, nullptr},
    {"ChangeDir1B", "Сменить направление", "direction", &TFlowForm::ChangeDirCommand},
    {nullptr, nullptr, nullptr, nullptr},
    {"RollBackBtn", "Отменить изменения", "rollback", &TFlowForm::RollBackCommand},
    {"ApplyBtn", "Закрепить изменения", "apply", &TFlowForm::ApplyCommand},
    {nullptr, nullptr, nullptr, nullptr},
    {"ReportBtn", "Сгенерировать отчет", "report", &TFlowForm::ReportCommand},
    {"HelpBtn", "Помощь", "help", nullptr},
};

// The main window's buttons that run the window's start, splice and end commands.
const std::pair<const char*, const char*> kHostButtons[] = {
    {"Start1B", "SetStart1"}, {"Muff1B", "SetMuff"}, {"End1B", "SetEnd1"}};

} // namespace

// ---- opening --------------------------------------------------------------------------------------------

TFlowForm* TFlowForm::OpenForLine(const std::string& dataFolder, const std::string& lineName, TMainForm& host,
                                  TMaskChooser chooseMask) {
    std::optional<TSpliceFileChoice> table = OpenSpliceFile(SpliceFileName(dataFolder, lineName));
    if (!table) return nullptr;
    auto* form = new TFlowForm(dataFolder, lineName, std::move(*table), host, std::move(chooseMask));
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return form;
}

TFlowForm::TFlowForm(const std::string& dataFolder, const std::string& lineName, TSpliceFileChoice table,
                     TMainForm& host, TMaskChooser chooseMask)
    : QWidget(&host, Qt::Tool), m_host(host), m_graph(host.MainGraph), m_dataFolder(dataFolder),
      m_lineName(lineName), m_table(std::move(table)),
      m_set(dataFolder, pmConstruction, std::move(chooseMask)) {
    setObjectName(QStringLiteral("FlowForm"));
    setWindowTitle(QString::fromStdString(lineName));
    m_editor.Load(m_table.Records);
    // Read once, as the window opens: the parameters dialog keeps the template in work modes.
    AddConstructionTemplate(m_templates, FlowParamsOf(m_host.Settings()).TmpFile);

    createCommands();
    m_directionLabel = new QLabel(this);
    m_directionLabel->setObjectName(QStringLiteral("DirectionLabel"));
    m_grid = new QTableWidget(0, 3, this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("Название"), QStringLiteral("А-Муфта, км"), QStringLiteral("В-Муфта, км")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(colName, QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(colFromA, QHeaderView::ResizeToContents);
    m_grid->horizontalHeader()->setSectionResizeMode(colFromB, QHeaderView::ResizeToContents);
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (!m_filling && row >= 0 && row != previousRow) SelectRow(row);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_bar);
    layout->addWidget(m_directionLabel);
    layout->addWidget(m_grid, 1);
    resize(360, 320);

    // What may fail comes before the hooks: a window that is not made leaves the graph as it was.
    openDirection();
    hookGraph();
    bindHostButtons();
    putMarkers();
    refresh(TGraphUpdate::Repaint);
}

TFlowForm::~TFlowForm() {
    unhook();
}

void TFlowForm::createCommands() {
    m_bar = new QToolBar(this);
    m_bar->setObjectName(QStringLiteral("ToolBar1"));
    m_bar->setIconSize(QSize(22, 22));
    for (const TFlowCommand& c : kCommands) {
        if (!c.Name) {
            m_bar->addSeparator();
            continue;
        }
        auto* a = new QAction(ToolbarIcon(QString::fromLatin1(c.Icon)), q(c.Hint), this);
        a->setObjectName(QString::fromLatin1(c.Name));
        a->setToolTip(q(c.Hint));
        if (c.Run)
            connect(a, &QAction::triggered, this,
                    [this, run = c.Run] { this->run([this, run] { (this->*run)(); }); });
        else
            connect(a, &QAction::triggered, this, [] {
                THelpViewer* v = HelpViewer();
                v->ShowPage(QStringLiteral("inspection.html"));
                v->ExecModal();
            });
        m_bar->addAction(a);
    }
}

QAction* TFlowForm::Command(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TFlowForm::bindHostButtons() {
    for (size_t i = 0; i < std::size(kHostButtons); ++i) {
        const auto [theirs, mine] = kHostButtons[i];
        QAction* button = m_host.Command(QString::fromLatin1(theirs));
        m_hostButtons[i] = button;
        if (button)
            m_hostBindings[i] =
                connect(button, &QAction::triggered, Command(QString::fromLatin1(mine)), &QAction::trigger);
    }
}

void TFlowForm::hookGraph() {
    if (!m_graph || m_hooked) return;
    m_hooked = true;
    TMainGraph& g = *m_graph;
    // Hooks of others stay in the chain; the window's go with it (it may go before the graph).
    QPointer<TFlowForm> self(this);
    m_previousOverlay = g.OnPaintOverlay;
    g.OnPaintOverlay = [self, previous = m_previousOverlay](TGraphView* v, TGContentPainter& gp) {
        if (previous) previous(v, gp);
        if (self) self->paintOverlay(v, gp);
    };
    m_previousCursor = g.OnCursorVisibleChanged;
    g.OnCursorVisibleChanged = [self, previous = m_previousCursor](TMainGraph* s, bool visible, double x,
                                                                   double y) {
        if (previous) previous(s, visible, x, y);
        if (self) self->cursorReported(visible, x);
    };
    m_previousPlaced = g.OnMarkersPlaced;
    g.OnMarkersPlaced = [self, previous = m_previousPlaced](TMainGraph* s, TMainDataItem* item) {
        if (previous) previous(s, item);
        if (self) self->markersPlaced();
    };
    m_previousActive = g.OnActiveDataChanged;
    g.OnActiveDataChanged = [self, previous = m_previousActive](TMainGraph* s, TGDataItem* item) {
        if (previous) previous(s, item);
        // Another trace shows its own markers: they are not the operator's moves.
        if (self) self->m_seen = self->graphMarkers();
    };
    m_cursor = m_host.PanelCursorX >= 0 ? TOptKm(m_host.PanelCursorX) : std::nullopt;
    m_seen = graphMarkers();
}

void TFlowForm::unhook() {
    if (!m_hooked) return;
    m_hooked = false;
    if (m_graph) {
        TMainGraph& g = *m_graph;
        g.OnPaintOverlay = m_previousOverlay;
        g.OnCursorVisibleChanged = m_previousCursor;
        g.OnMarkersPlaced = m_previousPlaced;
        g.OnActiveDataChanged = m_previousActive;
        g.InvalidateArea(woContent);
    }
    for (size_t i = 0; i < m_hostButtons.size(); ++i) {
        QObject::disconnect(m_hostBindings[i]);
        if (m_hostButtons[i]) m_hostButtons[i]->setEnabled(false);
    }
}

// ---- the traces of a direction ---------------------------------------------------------------------------

void TFlowForm::openDirection() {
    const bool ab = m_editor.Direction() == TFlowDirection::AB;
    m_directionLabel->setText(q(ab ? kFlowDirectionAB : kFlowDirectionBA));
    const std::vector<TFibreFile> files = m_set.List(ab ? kSubFolderAB : kSubFolderBA);
    if (files.empty()) {
        MessageDlg(kMsgDirectionHasNoData, TMsgDlgType::mtWarning, mbOK);
        return;
    }
    m_host.OpenFibreSet(files);
    // The graph learns its new active trace from a posted notice: markers put before it came
    // would be replaced by the trace's own.
    QCoreApplication::sendPostedEvents();
}

// ---- commands -------------------------------------------------------------------------------------------

void TFlowForm::run(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        MessageDlg(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory), TMsgDlgType::mtError,
                   mbOK);
        // Whatever was done before the failure shows.
        refresh(TGraphUpdate::Repaint);
    }
}

void TFlowForm::SetStartCommand() {
    refresh(m_editor.SetStart(cursorKm(), FlowParamsOf(m_host.Settings()), traceGeometry()));
}

void TFlowForm::SetMuffCommand() {
    refresh(m_editor.PlaceSplice(cursorKm(), FlowParamsOf(m_host.Settings()), traceGeometry()));
}

void TFlowForm::NoteMuffCommand() {
    if (m_editor.Table().IsEmpty()) return;
    QString name = QString::fromStdString(m_editor.CurrentName());
    if (!InputQuery(q(kSpliceNameTitle), q(kSpliceNamePrompt), name, this)) return;
    refresh(m_editor.RenameCurrent(name.toStdString()));
}

void TFlowForm::DelMuffCommand() {
    refresh(m_editor.DeleteCurrent());
}

void TFlowForm::SetEndCommand() {
    refresh(m_editor.SetEnd(cursorKm(), FlowParamsOf(m_host.Settings()), traceGeometry()));
}

void TFlowForm::ChangeDirCommand() {
    const TGraphUpdate update = m_editor.ChangeDirection();
    m_host.CloseAllTraces();
    openDirection();
    refresh(update);
}

void TFlowForm::RollBackCommand() {
    refresh(m_editor.RollBack());
}

void TFlowForm::ApplyCommand() {
    refresh(m_editor.Apply());
}

void TFlowForm::SelectRow(int row) {
    run([this, row] { refresh(m_editor.Select(row)); });
}

// ---- the report ---------------------------------------------------------------------------------------

TConstructionInput TFlowForm::ReportInput() {
    TConstructionInput in;
    in.LineName = m_lineName;
    in.TracesAB = m_set.List(kSubFolderAB);
    in.TracesBA = m_set.List(kSubFolderBA);
    in.Splices = m_editor.Table().Records();
    in.StartKm = m_editor.Start();
    in.EndKm = m_editor.End();
    in.Params = FlowParamsOf(m_host.Settings());
    in.Approximation = m_host.ParamsPanel()->AproxCode();
    return in;
}

void TFlowForm::SetOffice(ISpreadsheetApp* office, TReportRunOptions options) {
    m_office = office;
    m_runOptions = std::move(options);
}

ISpreadsheetApp& TFlowForm::office() {
    if (m_office) return *m_office;
    if (!m_ownOffice) m_ownOffice = NewUsersOffice();
    return *m_ownOffice;
}

void TFlowForm::ReportCommand() {
    const TConstructionInput in = ReportInput();
    // The report reads the table as it is now; the graph's markers are not followed meanwhile.
    QScopedValueRollback<bool> paused(m_reportRunning, true);
    ISpreadsheetApp& app = office();
    if (!ConstructionPrecondition(in).empty()) {
        // Refused with its message before any work: no progress window behind the message.
        TSilentProgress none;
        MakeConstructionReport(m_templates, app, in, none, m_runOptions);
        return;
    }
    TIndicatedProgress progress;
    RunIndicated(
        QStringLiteral("Lumvaris"), q(kMsgReportRunning), [&progress] { progress.Cancel(); },
        [&] { MakeConstructionReport(m_templates, app, in, progress, m_runOptions); });
}

// ---- the grid, the states and the graph ------------------------------------------------------------------

void TFlowForm::refresh(TGraphUpdate update) {
    fillGrid();
    updateCommandStates();
    if (update == TGraphUpdate::PutMarkers)
        putMarkers();
    else if (update == TGraphUpdate::Repaint && m_graph)
        m_graph->InvalidateArea(woContent);
}

void TFlowForm::fillGrid() {
    QScopedValueRollback<bool> filling(m_filling, true);
    const TSpliceTable& table = m_editor.Table();
    m_grid->setRowCount(table.Count());
    for (int row = 0; row < table.Count(); ++row) {
        const TSpliceRecord& r = table.Record(row);
        const QString texts[] = {QString::fromStdString(r.MName), km3(r.MPosFC()), km3(r.MPosRC())};
        for (int column = colName; column <= colFromB; ++column) {
            QTableWidgetItem* item = m_grid->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                item->setTextAlignment((column == colName ? Qt::AlignLeft : Qt::AlignRight) |
                                       Qt::AlignVCenter);
                m_grid->setItem(row, column, item);
            }
            item->setText(texts[column]);
        }
    }
    if (table.CurrentIndex() >= 0)
        m_grid->setCurrentCell(table.CurrentIndex(), colName);
    else
        m_grid->setCurrentCell(-1, -1);
}

void TFlowForm::updateCommandStates() {
    const TFlowCommandStates s = m_editor.CommandStates(cursorKm());
    const std::pair<const char*, bool> states[] = {
        {"SetMuff", s.SetMuff},   {"SetEnd1", s.SetEnd1},     {"DelMuff", s.DelMuff},
        {"NoteMuff", s.NoteMuff}, {"ReportBtn", s.ReportBtn}, {"RollBackBtn", s.RollBackBtn},
        {"ApplyBtn", s.ApplyBtn},
    };
    for (const auto& [name, on] : states)
        Command(QString::fromLatin1(name))->setEnabled(on);
    if (!m_hooked) return;
    const bool twins[] = {true, s.SetMuff, s.SetEnd1};
    for (size_t i = 0; i < m_hostButtons.size(); ++i)
        if (m_hostButtons[i]) m_hostButtons[i]->setEnabled(twins[i]);
}

TSpliceMarkers TFlowForm::graphMarkers() const {
    TSpliceMarkers m;
    if (!m_graph || !m_graph->ActiveTrace()) return m;
    auto at = [](const TMarker* marker) { return marker->Shown() ? TOptKm(marker->X()) : std::nullopt; };
    m.M1 = at(m_graph->Marker(1));
    m.M2 = at(m_graph->Marker(2));
    m.MY = at(m_graph->YMarker());
    m.M3 = at(m_graph->Marker(3));
    return m;
}

void TFlowForm::putMarkers() {
    if (!m_graph) return;
    const TSpliceMarkers m = m_editor.CurrentMarkers();
    {
        QScopedValueRollback<bool> putting(m_putting, true);
        m_graph->PutMarkers({m.M1, m.M2, m.M3, m.MY});
    }
    m_seen = graphMarkers();
}

void TFlowForm::markersPlaced() {
    // Only what moved since the window last looked is the operator's: a marker the window put,
    // or that another trace brought along, says nothing about the splice.
    const TSpliceMarkers now = graphMarkers();
    TSpliceMarkers moved;
    auto pick = [](const TOptKm& current, const TOptKm& seen, TOptKm& out) {
        if (current && current != seen) out = current;
    };
    pick(now.M1, m_seen.M1, moved.M1);
    pick(now.M2, m_seen.M2, moved.M2);
    pick(now.MY, m_seen.MY, moved.MY);
    pick(now.M3, m_seen.M3, moved.M3);
    m_seen = now;
    if (m_putting || m_reportRunning) return;
    if (m_editor.FollowMarkers(moved)) {
        fillGrid();
        updateCommandStates();
    }
}

void TFlowForm::cursorReported(bool visible, double x) {
    m_cursor = visible ? TOptKm(x) : std::nullopt;
    updateCommandStates();
}

TTraceGeometry TFlowForm::traceGeometry() const {
    TMainDataItem* item = m_graph ? m_graph->ActiveTrace() : nullptr;
    TRDataStorage* store = item ? item->Trace() : nullptr;
    if (!store) return {};
    return {double(store->PulseNs), store->RefIndex, store->GetBound(2)};
}

void TFlowForm::paintOverlay(TGraphView* sender, TGContentPainter& gp) {
    // The lines help placing; they are no part of a printed trace.
    QPainter* p = gp.Canvas();
    if (!p || sender->Printing()) return;
    const TRealRect visible = sender->GetVisExts();
    const std::vector<TOverlayMark> marks = m_editor.Overlay(visible.XMin, visible.XMax);
    if (marks.empty()) return;
    const TRect c = gp.Geometry().Content;
    const QColor yellow = QColor::fromRgb(kFlowOverlayRgb);
    p->save();
    p->setPen(QPen(yellow, 1));
    p->setFont(sender->ContentFont().Font);
    const QFontMetrics fm(p->font());
    for (const TOverlayMark& m : marks) {
        const int x = gp.XToPixel(m.Km);
        p->drawLine(x, c.Top, x, c.Bottom - 1);
        const QString label = QString::fromStdString(m.Label);
        const int width = fm.horizontalAdvance(label);
        // Right of its line, or left of it where the plot ends.
        const int left = x + 3 + width < c.Right ? x + 3 : x - 3 - width;
        p->drawText(left, c.Top + 2 + fm.ascent(), label);
    }
    p->restore();
}

// ---- closing ---------------------------------------------------------------------------------------------

bool TFlowForm::SaveTable() {
    try {
        SaveSpliceFile(m_table.Path, m_editor.Table().Records());
        return true;
    } catch (...) {
        MessageDlg(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory), TMsgDlgType::mtError,
                   mbOK);
        return false;
    }
}

void TFlowForm::closeEvent(QCloseEvent* event) {
    // The table is kept until its file is written: the window stays, and the next close tries
    // again.
    if (!SaveTable()) {
        event->ignore();
        return;
    }
    unhook();
    event->accept();
    emit Closed();
}

} // namespace lv

#include "shell/fEventsDock.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

#include "display/CurveTicks.h"
#include "display/NumberFormat.h"
#include "display/uGraphsCmps.h"
#include "shell/uMainSettings.h"
#include "trace/TraceEvents.h"
#include "trace/uGraphIntfs.h"

namespace lv {

namespace {

const char* const kShownValue = "EventsTable";
const char* const kPrintValue = "PrintEvents";

// Orange is in no curve's colour order, and shows on the black and the white background alike.
const QColor kTickColour(255, 128, 0);

struct TPlacedEvent {
    const TTraceEvent* Event;
    double DistanceKm; // from the instrument's front panel, as the instrument gives it
    double Km;         // where the trace draws it
};

// The events of a trace with their places; none without a trace or an event table.
std::vector<TPlacedEvent> placedEvents(TGDataItem* item) {
    std::vector<TPlacedEvent> out;
    auto* trace = dynamic_cast<TMainDataItem*>(item);
    TRDataStorage* store = trace && trace->Valid() ? trace->Trace() : nullptr;
    const TTraceEvents* events = store ? store->KeyEvents() : nullptr;
    if (!events) return out;
    for (const TTraceEvent& e : events->Events)
        out.push_back({&e, store->EventDistanceKm(e), store->EventTraceKm(e)});
    return out;
}

QString fixed(double value, int decimals) {
    return FormatFloat(value, TFloatFormat::Fixed, decimals, QLocale().decimalPoint());
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment align) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

} // namespace

TEventsDock::TEventsDock(TMainGraph& graph, QWidget* parent)
    : QDockWidget(QStringLiteral("События"), parent), m_graph(&graph) {
    setObjectName(QStringLiteral("EventsDock"));
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    m_table = new QTableWidget(0, colCount, body);
    m_table->setObjectName(QStringLiteral("EventsTable"));
    // Two-line headings keep the table narrow beside the graph.
    m_table->setHorizontalHeaderLabels({QStringLiteral("№"), QStringLiteral("Расстояние,\nкм"),
                                        QStringLiteral("Потери,\nдБ"), QStringLiteral("Отражение,\nдБ"),
                                        QStringLiteral("Тип")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The type takes what is left; a long one shows whole in its hint.
    header->setSectionResizeMode(colType, QHeaderView::Stretch);
    layout->addWidget(m_table, 1);

    m_linkLoss = new QLabel(body);
    m_linkLoss->setObjectName(QStringLiteral("LinkLoss"));
    layout->addWidget(m_linkLoss);
    m_frontPanel = new QLabel(body);
    m_frontPanel->setObjectName(QStringLiteral("FrontPanel"));
    m_frontPanel->setWordWrap(true);
    layout->addWidget(m_frontPanel);
    m_printEvents = new QCheckBox(QStringLiteral("Отмечать события при печати"), body);
    m_printEvents->setObjectName(QStringLiteral("PrintEvents"));
    layout->addWidget(m_printEvents);
    setWidget(body);

    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (!m_filling && row >= 0 && row != previousRow) GoToEvent(row);
    });
    // A click on the row already chosen goes back to its event after the view moved on.
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { GoToEvent(row); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { MeasureEvent(row); });

    // The graph may go first or last: the hooks hold the dock weakly and keep what was there.
    QPointer<TEventsDock> self(this);
    m_previousActive = graph.OnActiveDataChanged;
    graph.OnActiveDataChanged = [self, previous = m_previousActive](TMainGraph* g, TGDataItem* item) {
        if (previous) previous(g, item);
        if (self) self->Refresh();
    };
    m_previousOverlay = graph.OnPaintOverlay;
    graph.OnPaintOverlay = [self, previous = m_previousOverlay](TGraphView* g, TGContentPainter& gp) {
        if (previous) previous(g, gp);
        if (self) self->paintTicks(g, gp);
    };
    Refresh();
}

TEventsDock::~TEventsDock() {
    if (m_graph) {
        m_graph->OnActiveDataChanged = m_previousActive;
        m_graph->OnPaintOverlay = m_previousOverlay;
    }
}

void TEventsDock::SetTableShown(bool shown) {
    const bool changed = shown != m_shown;
    m_shown = shown;
    setVisible(shown);
    if (changed) emit TableShownChanged(shown);
}

bool TEventsDock::PrintEvents() const {
    return m_printEvents->isChecked();
}

void TEventsDock::SetPrintEvents(bool on) {
    m_printEvents->setChecked(on);
}

void TEventsDock::RestoreSettings(QSettings& settings) {
    settings.beginGroup(QString::fromLatin1(kMainFormSection));
    const bool shown = ReadBoolValue(settings, QString::fromLatin1(kShownValue), true);
    const bool print = ReadBoolValue(settings, QString::fromLatin1(kPrintValue), false);
    settings.endGroup();
    SetTableShown(shown);
    SetPrintEvents(print);
}

void TEventsDock::SaveSettings(QSettings& settings) const {
    settings.beginGroup(QString::fromLatin1(kMainFormSection));
    WriteBoolValue(settings, QString::fromLatin1(kShownValue), m_shown);
    WriteBoolValue(settings, QString::fromLatin1(kPrintValue), PrintEvents());
    settings.endGroup();
}

void TEventsDock::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (event->isAccepted() && m_shown) {
        m_shown = false;
        emit TableShownChanged(false);
    }
}

void TEventsDock::Refresh() {
    TMainDataItem* trace = m_graph ? m_graph->ActiveTrace() : nullptr;
    const std::vector<TPlacedEvent> placed = placedEvents(trace);
    const int keep = m_table->currentRow();
    m_filling = true;
    m_table->clearSelection();
    m_table->setRowCount(static_cast<int>(placed.size()));
    m_distances.clear();
    m_positions.clear();
    for (int row = 0; row < static_cast<int>(placed.size()); ++row) {
        const TTraceEvent& e = *placed[size_t(row)].Event;
        const double km = placed[size_t(row)].DistanceKm;
        m_distances.push_back(km);
        m_positions.push_back(placed[size_t(row)].Km);
        const Qt::Alignment right = Qt::AlignRight;
        m_table->setItem(row, colNumber, cell(QString::number(e.Number), right));
        m_table->setItem(row, colDistance, cell(std::isfinite(km) ? fixed(km, 3) : QString(), right));
        m_table->setItem(row, colLoss, cell(fixed(e.LossDb, 3), right));
        // No reading is no reflectance, not a reflectance of 0 dB.
        m_table->setItem(row, colReflectance,
                         cell(e.ReflectanceDb != 0 ? fixed(e.ReflectanceDb, 3) : QString(), right));
        QTableWidgetItem* type = cell(QString::fromStdString(EventTypeText(e.Code)), Qt::AlignLeft);
        type->setToolTip(QString::fromStdString(EventTypeText(e.Code) + " (" + e.Code + ")" +
                                                (e.Comment.empty() ? "" : "\n" + e.Comment)));
        m_table->setItem(row, colType, type);
    }
    // The same trace with new values keeps its row; another trace starts unselected.
    const uint64_t serial = trace ? trace->Serial() : 0;
    if (keep >= 0 && keep < m_table->rowCount() && serial == m_lastSerial)
        m_table->setCurrentCell(keep, colNumber);
    m_lastSerial = serial;
    TRDataStorage* store = trace && trace->Valid() ? trace->Trace() : nullptr;
    const TTraceEvents* events = store ? store->KeyEvents() : nullptr;
    m_linkLoss->setText(events ? QStringLiteral("Потери линии: %1 дБ").arg(fixed(events->EndToEndLossDb, 3))
                               : QString());
    // Distances count from the instrument's connector; where the samples start before it, the
    // operator is told where it lies on the graph.
    const double panelKm =
        events && events->FrontPanelOffset != 0 ? store->TimeToKm(double(events->FrontPanelOffset)) : 0.0;
    m_frontPanel->setText(
        panelKm != 0 && std::isfinite(panelKm)
            ? QStringLiteral("Расстояния отсчитаны от разъёма прибора, на графике он на %1 км")
                  .arg(fixed(store->GetOrigin() + panelKm, 3))
            : QString());
    m_frontPanel->setVisible(!m_frontPanel->text().isEmpty());
    m_filling = false;
}

void TEventsDock::GoToEvent(int row) {
    TMainDataItem* trace = m_graph ? m_graph->ActiveTrace() : nullptr;
    const std::vector<TPlacedEvent> placed = placedEvents(trace);
    if (row < 0 || row >= static_cast<int>(placed.size())) return;
    const double km = placed[size_t(row)].Km;
    const std::optional<double> level = std::isfinite(km) ? trace->ValueAt(km) : std::nullopt;
    if (!level) return;
    TGraphView::TUpdateGuard once(*m_graph);
    m_graph->SetCursorX(km);
    const TRealRect visible = m_graph->GetVisExts();
    m_graph->ScrollToX(km - visible.Width() / 2);
    m_graph->ScrollToY(*level - visible.Height() / 2);
}

void TEventsDock::MeasureEvent(int row) {
    TMainDataItem* trace = m_graph ? m_graph->ActiveTrace() : nullptr;
    const std::vector<TPlacedEvent> placed = placedEvents(trace);
    if (row < 0 || row >= static_cast<int>(placed.size())) return;
    const double km = placed[size_t(row)].Km;
    TRDataStorage& store = *trace->Trace();
    // The nearest events on either side, whatever order the instrument listed them in.
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double previous = nan, next = nan;
    for (const TPlacedEvent& other : placed) {
        if (other.Km < km && !(other.Km <= previous)) previous = other.Km;
        if (other.Km > km && !(other.Km >= next)) next = other.Km;
    }
    // The pulse's length in the fibre, one way.
    const double pulseKm =
        store.RefIndex > 0 ? store.PulseNs * 1e-9 * kLightSpeed / (2 * store.RefIndex) / 1000 : 0;
    double lastKm = store.GetBound(2);
    if (const int last = store.GetLastIndex(); last >= 0)
        lastKm = std::min(lastKm, store.GetBound(0) + last * store.GetStep());
    const auto [a, b] =
        EventMarkerSpan(km, previous, next, pulseKm, store.GetStep(), store.GetBound(0), lastKm);
    if (!(a < b)) return;

    TGraphView::TUpdateGuard once(*m_graph);
    m_graph->SetCursorX(km);
    // Markers that would stand between the new M1 and M2 or break their order go.
    m_graph->HideMarker(1, false);
    m_graph->HideMarker(2, false);
    if (m_graph->YMarker()->Shown() && !(m_graph->YMarker()->X() > b)) m_graph->HideMarker(2, true);
    if (m_graph->Marker(3)->Shown() && !(m_graph->Marker(3)->X() > b)) m_graph->HideMarker(3, false);
    m_graph->PlaceMarker(1, false, a);
    m_graph->PlaceMarker(2, false, b);
}

void TEventsDock::paintTicks(TGraphView* sender, TGContentPainter& gp) {
    if (sender->Printing() && !PrintEvents()) return;
    TGDataItem* shown = sender->ShownActiveItem();
    std::vector<TCurveTick> ticks;
    for (const TPlacedEvent& e : placedEvents(shown))
        ticks.push_back({e.Km, QString::number(e.Event->Number)});
    if (ticks.empty()) return;
    PaintCurveTicks(gp, *shown, ticks, sender->Monochrome() ? QColor(Qt::black) : kTickColour,
                    sender->ContentFont().Font);
}

} // namespace lv

#pragma once
// The table "События" of the main window: the key events an instrument found on the active trace
// (an instrument's .sor carries them), and their ticks on the main graph. Selecting an event puts
// the cursor on it and centres the view there; a double-click places M1 and M2 around it, as an
// operator does to measure it. The ticks are drawn on screen, on output only when the operator
// asks for them ("Отмечать события при печати").

#include <QDockWidget>
#include <QPointer>

#include <cstdint>
#include <vector>

#include "display/uGraphsCmps.h"

class QCheckBox;
class QLabel;
class QSettings;
class QTableWidget;

namespace lv {

class TEventsDock : public QDockWidget {
    Q_OBJECT
public:
    enum TColumn { colNumber, colDistance, colLoss, colReflectance, colType, colCount };

    // Follows `graph`'s active trace and draws its ticks there; `graph` must outlive the dock.
    explicit TEventsDock(TMainGraph& graph, QWidget* parent = nullptr);
    ~TEventsDock() override;

    QTableWidget* Table() const { return m_table; }
    // The instrument's end-to-end loss under the table (empty without an event table).
    QLabel* LinkLossLabel() const { return m_linkLoss; }
    QCheckBox* PrintEventsBox() const { return m_printEvents; }

    // The operator's choices: the table shown, and the ticks on output.
    bool TableShown() const { return m_shown; }
    void SetTableShown(bool shown);
    bool PrintEvents() const;
    void SetPrintEvents(bool on);
    // Values "EventsTable" and "PrintEvents" of the main window's settings group (shown and off
    // when missing).
    void RestoreSettings(QSettings& settings);
    void SaveSettings(QSettings& settings) const;

    // Fills the table from the active trace (empty without one or without events).
    void Refresh();
    // Each row's event distance (km, from the instrument's front panel, as the table shows it)
    // and its place on the graph's distance axis, as the rows were last filled.
    const std::vector<double>& EventDistances() const { return m_distances; }
    const std::vector<double>& EventPositions() const { return m_positions; }
    // Where the instrument's connector lies on the graph, when its samples start before it.
    QLabel* FrontPanelLabel() const { return m_frontPanel; }

    // What selecting and double-clicking a row do.
    void GoToEvent(int row);
    void MeasureEvent(int row);

signals:
    // The operator showed or hid the table (its own close button included).
    void TableShownChanged(bool shown);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void paintTicks(TGraphView* sender, TGContentPainter& gp);

    QPointer<TMainGraph> m_graph;
    TMainGraph::TActiveDataChangedEvent m_previousActive;
    TGraphView::TOverlayEvent m_previousOverlay;
    uint64_t m_lastSerial = 0; // the trace the rows were last filled from
    QTableWidget* m_table = nullptr;
    QLabel* m_linkLoss = nullptr;
    QLabel* m_frontPanel = nullptr;
    QCheckBox* m_printEvents = nullptr;
    bool m_shown = true;
    std::vector<double> m_distances; // km, per row
    std::vector<double> m_positions; // km, per row
    bool m_filling = false;
};

} // namespace lv

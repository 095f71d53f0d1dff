#pragma once
// TFlowForm, the tool window of construction documentation: the splice table of one line (its
// splices with the measurement markers around each, for both measuring directions, and the
// line's trace start and end), kept in "<line>.mif" in the line's data folder. The operator works
// on the fibre traces of one direction at a time in the main graph; the window places splices
// and the trace's ends at the graph's cursor, puts the current splice's markers on the graph,
// follows the operator's marker moves into the table, draws the start, the end and the splices
// over the traces, and makes the construction report.
//
// The main window's splice, start and end buttons (and the graph menu's items that run them)
// are this window's commands while it is open. Closing writes the table; when that fails the
// window stays open with the table, and the next close tries again.

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "reports/uConstructionReport.h"
#include "reports/uFolderSets.h"
#include "reports/uSpliceEdit.h"
#include "reports/uSpliceFile.h"
#include "reports/uTemplates.h"

class QAction;
class QLabel;
class QTableWidget;
class QToolBar;

namespace lv {

class ISpreadsheetApp;
class TGContentPainter;
class TGDataItem;
class TGraphView;
class TMainDataItem;
class TMainForm;
class TMainGraph;

extern const char* const kFlowDirectionAB;  // "Направление: от А к Б (папка AB)"
extern const char* const kFlowDirectionBA;  // "Направление: от Б к А (папка BA)"
extern const char* const kMsgReportRunning; // "Идет формирование отчета..."

// The overlay's colour: the lines and labels of the start, the end and the splices.
inline constexpr unsigned kFlowOverlayRgb = 0xFFFF00;

class TFlowForm : public QWidget {
    Q_OBJECT
public:
    // The window of the line in `dataFolder` (ending with "/") named `lineName`, on `host`'s
    // graph: its table read from the line's file (the operator asked about one that cannot be
    // read), the traces of "AB/" opened, shown. Nothing when the operator declined to go on
    // without the unreadable file. `chooseMask` picks among several data sets of the folder
    // (none: the first). Freed when it closes; the host leaves the mode on Closed().
    static TFlowForm* OpenForLine(const std::string& dataFolder, const std::string& lineName, TMainForm& host,
                                  TMaskChooser chooseMask = {});

    // The window on a table already read (`table.Path` is where it is written back). Opens the
    // traces of "AB/" and puts the current splice's markers on the graph; the report template
    // of the construction parameters replaces the built-in one when that file exists (a file
    // that cannot be read raises).
    TFlowForm(const std::string& dataFolder, const std::string& lineName, TSpliceFileChoice table,
              TMainForm& host, TMaskChooser chooseMask = {});
    ~TFlowForm() override;

    const TSpliceEditor& Editor() const { return m_editor; }
    const std::string& SpliceFile() const { return m_table.Path; }
    const std::string& DataFolder() const { return m_dataFolder; }
    QTableWidget* Grid() const { return m_grid; }
    QLabel* DirectionLabel() const { return m_directionLabel; }
    // A command by its component name ("SetStart1", "SetMuff", ..., "ReportBtn").
    QAction* Command(const QString& name) const;

    // --- the commands (each also runs from its button; errors are shown, not raised)
    void SetStartCommand();  // "Установить начало трассы"
    void SetMuffCommand();   // "Поставить муфту"
    void NoteMuffCommand();  // "Название муфты"
    void DelMuffCommand();   // "Стереть муфту"
    void SetEndCommand();    // "Установить конец трассы"
    void ChangeDirCommand(); // "Сменить направление"
    void RollBackCommand();  // "Отменить изменения"
    void ApplyCommand();     // "Закрепить изменения"
    void ReportCommand();    // "Сгенерировать отчет"
    // Makes `row` of the grid the current splice; its markers go on the graph.
    void SelectRow(int row);

    // What the report is given now.
    TConstructionInput ReportInput();
    // The office the report runs through: the user's own unless one is set here (not owned;
    // nullptr: the user's again). `options` say where a workbook is stored instead of shown.
    void SetOffice(ISpreadsheetApp* office, TReportRunOptions options = {});
    // Set while the report runs: the operator's marker moves are not followed then.
    bool ReportRunning() const { return m_reportRunning; }

    // Writes the table to its file; false, with the error shown, when that fails.
    bool SaveTable();

signals:
    // The window closed with its table written; it is freed next.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createCommands();
    void bindHostButtons();
    void hookGraph();
    void unhook();
    void openDirection();
    void run(const std::function<void()>& command);
    // The grid, the command states and the graph after a command.
    void refresh(TGraphUpdate update);
    void fillGrid();
    void updateCommandStates();
    void putMarkers();
    // The graph's M1, M2, MY and M3 (empty where hidden or without an active trace).
    TSpliceMarkers graphMarkers() const;
    void markersPlaced();
    void cursorReported(bool visible, double x);
    void paintOverlay(TGraphView* sender, TGContentPainter& gp);
    TTraceGeometry traceGeometry() const;
    TOptKm cursorKm() const { return m_cursor; }
    ISpreadsheetApp& office();

    TMainForm& m_host;
    QPointer<TMainGraph> m_graph;
    std::string m_dataFolder;
    std::string m_lineName;
    TSpliceFileChoice m_table;
    TSpliceEditor m_editor;
    TFibreSet m_set;
    TReportTemplateHolder m_templates;
    ISpreadsheetApp* m_office = nullptr;
    std::unique_ptr<ISpreadsheetApp> m_ownOffice;
    TReportRunOptions m_runOptions;

    TOptKm m_cursor;        // the graph's cursor as last reported; empty while hidden
    TSpliceMarkers m_seen;  // the graph's markers as the window last knew them
    bool m_putting = false; // the window itself is putting markers on the graph
    bool m_reportRunning = false;
    bool m_filling = false;
    bool m_hooked = false;

    // The graph's hooks as they were before the window's.
    std::function<void(TGraphView*, TGContentPainter&)> m_previousOverlay;
    std::function<void(TMainGraph*, bool, double, double)> m_previousCursor;
    std::function<void(TMainGraph*, TMainDataItem*)> m_previousPlaced;
    std::function<void(TMainGraph*, TGDataItem*)> m_previousActive;

    QToolBar* m_bar = nullptr;
    QLabel* m_directionLabel = nullptr;
    QTableWidget* m_grid = nullptr;
    // The main window's "Start1B", "Muff1B", "End1B" and their bindings.
    std::array<QPointer<QAction>, 3> m_hostButtons;
    std::array<QMetaObject::Connection, 3> m_hostBindings;
};

} // namespace lv

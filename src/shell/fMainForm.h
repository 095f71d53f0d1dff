#pragma once
// TMainForm, the main window "Измеритель параметров оптического кабеля": the list of open traces
// in the main graph with its overview strip, the parameter panel, the toolbars and menus, and the
// operator's settings (a TMainSettings value the other windows read and change).
//
// The window owns the main graph and the overview graph; the trace stores belong to the data
// module, so that a store still alive when the program ends goes with it.

#include <QDate>
#include <QDateTime>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <exception>
#include <string>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "display/GraphColors.h"
#include "display/uGraphsCmps.h"
#include "printing/uTracePage.h"
#include "reports/uFolderSets.h"
#include "reports/uReportInterfaces.h"
#include "shell/fParamsPanel.h"
#include "shell/uMainSettings.h"
#include "trace/RealRect.h"

class QAction;
class QComboBox;
class QLineEdit;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;

namespace lv {

class IPrintDialogs;
class IPrinter;
class TEventsDock;
class TExportForm;
class TMainDataItem;
class TMainGraphPersistence;
class TOverviewGraph;
class TParamsPanel;
class TPrintQueue;
class TQtPrintDialogs;
class TQtPrinter;
class TRDataStorage;
class TWorkDataOld;

extern const char* const kMainFormCaption; // "Измеритель параметров оптического кабеля"
extern const char* const kMsgCannotExit; // "В данный момент невозможно завершить программу, …"
extern const char* const kMsgFilesDuringProcessing; // "В данный момент невозможно открыть файлы, …"
extern const char* const
    kTraceFileFilter; // "Файлы TRA (*.tra)|*.tra|Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*"
extern const char* const kMsgOverwriteFile; // "Перезаписать файл "

// The question before "Сохранить" rewrites an instrument's file `fileName` (shown as given):
// what the system's own layout will not keep of it.
std::string ForeignSaveQuestion(const std::string& fileName, TRDataStorage& store);
extern const char* const kMsgFileNotOpened;  // "Файл \"%s\" не открыт."
extern const char* const kMsgFilesNotOpened; // "Не открыты и выбранные после него файлы (%1):"
extern const char* const
    kMsgBadGroupIndex; // "Неправильно задан показатель преломления.\r\nПовторите попытку."
extern const char* const kMsgPrintingGraphs; // "Идет печать графиков" (with the print dialog)
extern const char* const kMsgQuickPrintingGraphs; // "Идет печать графиков..." (without it)

// The file-name panel: a path compacted in the middle to the panel's width less 5 pixels; its
// hint is the full name, or "Имя файла" without one.
class TNamePanel : public QLabel {
    Q_OBJECT
public:
    explicit TNamePanel(QWidget* parent = nullptr);
    void SetFileName(const QString& fileName);
    const QString& FileName() const { return m_fileName; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    QString m_fileName;
};

// The host of the report windows (IReportHost): they open, close and save traces, place markers
// and read the settings through it.
class TMainForm : public QMainWindow, public IReportHost {
    Q_OBJECT
public:
    // Builds the window, restores the placement and the settings, and loads the graph's display
    // properties. Trace stores created later are owned by `workData`, which must outlive the form.
    explicit TMainForm(TWorkDataOld& workData, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The registration at start. False when the operator cancelled: the window must then never be
    // shown, and nothing is saved.
    bool RegisterAtStart();

    // --- state other windows read and write --------------------------------------------------------
    // Restored when the window is made, saved when it closes.
    TMainSettings& Settings() override { return m_settings; }
    int ProcessingMode() const override { return m_processingMode; }
    // The work modes' switch (called as a mode is entered and left): construction documentation
    // (1) shows the splice, start and end commands on the toolbar and in the graph's popup menu
    // instead of the marker commands; the inspection modes keep the markers.
    void SetProcessingMode(int mode) override;
    double PanelCursorX = -1;   // km, −1 while the cursor is hidden
    double CursorDistance = -1; // km, PanelCursorX less the trace's start
    TPanelValues PanelValues;   // the active trace's values, as the parameter panel shows them
    QString LastOpenDir;        // where the open dialog starts, ending with "/"
    TRealRect SavedViewWindow;
    bool RusPrint = false;

    TMainGraph* MainGraph = nullptr;         // owned (a child widget)
    TOverviewGraph* OverviewGraph = nullptr; // owned (a child widget)
    // The print queue with its eight markings ("1 кадр" … "8 кадров"), printing on CommandPrinter().
    TPrintQueue& PrintQueue() { return *m_printQueue; }
    // The program's printer (the system's default until a dialog changes it).
    TQtPrinter& Printer() { return *m_printer; }
    // The printer the print commands and the queue print on, and the print dialogs they show:
    // the program's own unless others are put here (not owned; nullptr: the program's own again).
    void SetPrintDevices(IPrinter* printer, IPrintDialogs* dialogs);
    IPrinter& CommandPrinter() const { return *m_commandPrinter; }

    // --- printing ---------------------------------------------------------------------------------
    // Where printed pages take their date, time and formats from: the system clock and the
    // default locale unless set. Read at every composition.
    std::function<QDateTime()> PageClock;
    std::optional<QLocale> PageLocale;
    TPageContext PageContext() const;
    // "Печать...": the print dialog with the copies and the pages of all open traces, then the
    // chosen pages under the indicator "Идет печать графиков". The graph takes back the
    // orientation and paper the operator chose there (they are stored with its properties).
    void PrintWithDialog();
    // The toolbar's "Печать": saves before print when SaveBeforePrint is set, then one copy of
    // every page on the printer as it is set, under "Идет печать графиков...".
    void QuickPrint();
    // "Настройка принтера...": the printer takes the graph's orientation and paper, the setup
    // dialog runs, and on OK the graph takes what the printer has then.
    void PrinterSetup();
    // "Поместить в очередь на печать": saves before print when SaveBeforePrint is set, then one
    // picture per trace into the queue (a full sheet is printed at once).
    void AddToQueue();
    // The pages of the batch conversion: one copy of every open trace on the batch page, in
    // Russian while RusPrint is set, else in English, under "Идет печать графиков...".
    void PrintBatchPages();

    // --- picture export ----------------------------------------------------------------------------
    // "Экспорт...": the export dialog (made at the first export and kept, with its choice and
    // name), the question before an existing file is replaced (No ends the command), the
    // picture, then "Экспортирование завершено.". A relative name lies in the data folder.
    void ExportCommand();
    // The picture itself: the active trace's print copy (its standard page, compact while the
    // queue's marking has more than 4 frames) as `kind` (TPictureFormat), or the window as
    // shown (`screenCopy`), always as a bitmap, into `fileName`. lv::Exception on failure.
    void ExportPicture(const QString& fileName, int kind, bool screenCopy);
    // The export dialog; nullptr before the first export.
    TExportForm* ExportForm() const { return m_exportForm; }

    // --- trace documents ---------------------------------------------------------------------------
    // The active trace: the first item of the list with valid data.
    TMainDataItem* ActiveTrace() const;
    int TraceCount() const;
    TMainDataItem* Trace(int index) const;

    // "Открыть...": the open dialog, then the chosen files in order. A file that fails to load
    // ends the operation with a message naming it and the chosen files not opened after it.
    void OpenTraces();
    // That message for `files` whose file `failed` (an index) could not be loaded.
    static std::string NotOpenedMessage(const QStringList& files, int failed);
    // Loads the files in order, each inserted at the front (the last becomes active). A file that
    // fails to load ends the operation: its trace goes, earlier ones stay, later ones are not
    // loaded. A failure the store raises is raised again here after its trace is gone.
    // Answers the number of files loaded.
    int OpenTraceFiles(const QStringList& files);
    int OpenTraceFiles(const std::vector<std::string>& files) override;
    // Files named on the command line: each file on its own, errors shown, the rest still opened.
    void OpenCommandLineFiles(const QStringList& files);
    // Files a second start of the program handed over: the window comes to the front and opens
    // them as command-line files; during the work of a processing window they are not opened
    // (kMsgFilesDuringProcessing), since that window works on the traces it opened itself.
    void OpenHandedOverFiles(const QStringList& files);
    void CloseTrace();
    void CloseAllTraces() override;
    void SaveTrace();
    void SaveTraceAs();
    void SaveAllTraces();
    // Saves every trace with valid data as "<folder><title>(<code>).tra" in the data folder (the
    // trace's own folder when no data folder is set), asking before overwriting. Called before
    // printing when SaveBeforePrint is set. Answers the number of traces saved.
    int SaveTracesBeforePrint() override;
    // The title prompt "Ввод заголовка" for a trace of curve colour `colour`; the answer cleaned
    // (cancel answers the default, cleaned as well).
    QString TitlePrompt(const QString& defaultText, TColor colour);

    // The folder names are resolved against: the settings' DataDir as the program keeps folders
    // ("/" at the end).
    QString DataFolder() const;

    // --- processing modes and folder sets (fMainFormModes.cpp) ---------------------------------------
    // "Входной контроль...", "Предмонтажный контроль...", "Строительная документация...": from the
    // normal mode only. Asks for the data folder (kept as FlowDir), checks it for data, closes the
    // traces, switches the controls and opens the mode's window; back in the normal mode when the
    // window cannot be made (the error goes on).
    void EnterProcessingMode(int mode);
    // The mode's window has closed: the controls of the normal mode, no trace open, mode 0.
    void LeaveProcessingMode();
    // The data folder's last component, the caption of the mode's window.
    const QString& LineName() const { return m_lineName; }
    // The window of the current mode; nullptr in the normal mode.
    QWidget* ModeWindow() const { return m_modeWindow; }
    // Opens the files of a folder set in list order under the progress window. A file that does
    // not open is left out and the rest still open; one message then names the files left out.
    // Each trace keeps the fibre number its listing gave it. Answers the number opened.
    int OpenFibreSet(const std::vector<TFibreFile>& files);
    // The fibre number of a trace opened with a set; for another trace, the number its file name
    // reads as (0 when none).
    int FibreNumberOf(TRDataStorage* store) const;
    // After work on every trace (a report, the batch): the graph repaints its curves and header,
    // and the panels show the active trace as it is now.
    void RefreshTraceViews();

    // --- batch conversion (fMainFormBatch.cpp) -------------------------------------------------------
    // "Обработать потоком в Bellcore...": the dialog "Потоковая обработка" (the inspection window's
    // own in an inspection mode), then its tasks over every open trace under the progress window,
    // the batch pages, and the completion message.
    void ProcessSOR();
    // The folder a relative target folder of the batch lies in: the data folder of the mode, else
    // DataDir, else the current trace's folder.
    QString BatchDataFolder() const;

    // --- layout --------------------------------------------------------------------------------------
    bool FullGraphLayout() const;
    // The full-graph button: enters or leaves the layout, repainting the graph once.
    void ToggleFullGraph();
    // Height of the area between the toolbars and the window's lower edge (once shown).
    int ClientAreaHeight() const;
    int GraphAreaHeight() const;

    // --- commands --------------------------------------------------------------------------------
    // A command by its component name ("Open1", "Save1B", "ProcessSOR1", ...); nullptr if none.
    QAction* Command(const QString& name) const;
    // Sets the enabled state of the file commands for the list of open traces (and empties the
    // panels when the list is empty). Commands whose work is not built yet stay disabled.
    void UpdateCommands();
    TNamePanel* NamePanel() const { return m_namePanel; }
    TParamsPanel* ParamsPanel() const { return m_params; }
    // The table "События" of the active trace's instrument events (command "EventsTable1" shows
    // and hides it).
    TEventsDock* EventsDock() const { return m_eventsDock; }
    QLabel* DatePanel() const { return m_datePanel; }
    QLineEdit* WorkerNumEd() const { return m_workerNumEd; }
    QComboBox* FramesPerPage() const { return m_framesPerPage; }
    const std::array<QToolBar*, 4>& ToolBars() const { return m_toolBars; }

    // --- the parameter panel and the marker commands ------------------------------------------------
    enum TPanelUpdateKind { puCursorDistance = 1, puValues = 2 };
    // Posts a panel update onto the window's own queue: it runs once the graph event that asked
    // for it has been handled, one text update per request, in posting order.
    void PanelUpdateRequest(int kind);
    // "Маркер 1", "Маркер 2", "Маркер 3" (number, not Y) and "Маркер Y2" (2, Y): the marker at
    // the cursor, where the marker order allows it.
    void MarkerCommand(int number, bool isY);
    void ClearMarkersCommand(); // "Стереть маркеры"
    void SetStartCommand();     // "Установить начало трассы": the start at the cursor
    void DeleteStartCommand();  // "Стереть начало трассы"
    // A click on the approximation field: switches between two-point ("ДТМ") and least squares
    // ("АПР") for the active trace, in a processing mode for every open trace, and saves each
    // changed trace into its own file (an instrument's .sor keeps its bytes).
    void ToggleApproximation();
    // A double-click on the group index: asks for a new one (1 < n ≤ 2.147483647, "," or "."),
    // again with the typed text after a refusal, and gives it to the active trace, in a
    // processing mode also to the open traces of its wavelength; saved as the toggle saves.
    void EditGroupIndex();

    // --- view window and the graph's popup menu -------------------------------------------------------
    void FitInWindow();       // "В размер окна": the whole of the traces
    void SaveViewWindow();    // "Сохранить окно": SavedViewWindow := the visible window
    void RestoreViewWindow(); // "Восстановить окно": back to it; with none saved, "В размер окна"
    // The popup menu of the main graph ("PopupMenu1") and its items by component name.
    QMenu* GraphPopup() const { return m_popup; }
    QAction* PopupItem(const QString& name) const;
    // "Параметры интерфейса...": the dialog, and on "ОК" its values applied with one repaint.
    void DisplayParamsCommand();
    // "Параметры (Строит. док.)...": the dialog on the construction settings, stored on "ОК".
    void FlowParamsCommand();

    // --- the main graph's cursor and markers, for the report windows -----------------------------
    double CursorPosition() const override;
    double MarkerPosition(TReportMarker marker) const override;
    void SetMarkerPosition(TReportMarker marker, double km) override;
    void ClearMarkers() override;

    // The text of the date panel for `date`: the short date, three spaces, the weekday.
    static QString DatePanelText(const QDate& date, const QLocale& locale = QLocale());

    // The close query: false (with the message) while a processing mode is on; otherwise the
    // settings are saved (failures swallowed) and the answer is true.
    bool CloseQuery();

    // No menu of toolbars: the bands are the rebar's, and a hidden one could not be shown again.
    QMenu* createPopupMenu() override { return nullptr; }

signals:
    // The close was allowed: the program's loop may end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createGraphs();
    void createEventsDock();
    void createPrintQueue();
    void createCommands();
    void createMenus();
    void createToolBars();
    void createLayout();
    void createGraphPopup();
    // Before the popup shows: its items take their buttons' enabled states.
    void popupOpening();
    void applyModeToControls();
    void restoreSettings();
    void saveSettings();
    void setStartExtents();
    void applyStartLayout();
    void enterFullGraph(bool recordHeight);
    void leaveFullGraph();
    void setGraphHeight(int height);
    void fillDatePanel();
    void clockTick();
    void reRegister();
    // The registration dialog for the operator in the settings; false when cancelled.
    bool registerOperator(QWidget* parent);
    void listChanged();
    void titleByDoubleClick();
    // ComboBox1's choice of the queue's marking (shown back as the queue's when the operator
    // cancelled the change).
    void framesPerPageChosen(int index);
    // Part of the print commands.
    void connectPrintEvents();
    // The graph's picture of `item` replaced by its page: the batch page while the batch prints,
    // else the standard page in `layout` for the frame `r`.
    void composePage(std::unique_ptr<QPicture>& picture, TGDataItem* item, const TRect& r,
                     TTracePageLayout layout);
    // The printer's orientation and paper taken into the graph's print properties where they differ.
    void takePrinterSettings();
    // The prepared pages on the command printer under the indicator `message`.
    void printPrepared(const char* message);

    // Part of the parameter panel's work.
    void cursorVisibleChanged(TMainGraph* sender, bool visible, double x);
    void markersChanged(TMainDataItem* item);
    void performPanelUpdate(int kind);
    void fillPanelValues(TMainDataItem* item);
    // The enabled state of the marker and start buttons for a cursor at x.
    void updateMarkerButtons(double x);
    // Saves a trace changed by the panel into its own file, if it has one and it is not an
    // instrument's .sor; a failure leaves the change in memory only.
    void saveChangedTrace(TMainDataItem* item);
    // Runs a command; an error it raises is shown as the application shows errors.
    void runCommand(const std::function<void()>& command);

    // Part of the document work.
    bool loadOne(const QString& fileName);
    // Loads in order until a file fails; answers the number loaded, `raised` holding what the
    // failing load raised (its trace gone as well).
    int loadUntilFailure(const QStringList& files, std::exception_ptr& raised);
    bool saveAs(TMainDataItem* item, bool showName);
    QString saveDialogFolder(TRDataStorage* store) const;
    void askCaption(TMainDataItem* item);

    // Part of the processing modes: the commands that enter them and the batch command.
    void createModeCommands();
    // Shows and hides the controls of the current mode: the commands that open and close traces
    // and that enter a mode are for the normal mode; construction documentation shows its splice
    // buttons in place of the marker buttons.
    void applyProcessingModeToControls();

    QAction* addCommand(const char* name, const QString& text, const char* icon = nullptr,
                        const QKeySequence& shortcut = {});
    TMainFormParts formParts();

    TWorkDataOld& m_workData;
    TMainSettings m_settings;
    int m_processingMode = pmNormal;
    std::unique_ptr<TMainGraphPersistence> m_graphProps;
    std::unique_ptr<TQtPrinter> m_printer;
    std::unique_ptr<TQtPrintDialogs> m_printDialogs;
    IPrinter* m_commandPrinter = nullptr;
    IPrintDialogs* m_dialogs = nullptr;
    bool m_batchPage = false; // the batch pages are being printed
    std::unique_ptr<TPrintQueue> m_printQueue;
    std::array<QToolBar*, 4> m_toolBars{};
    // The window's panels keep their component names ("Panel3", "Panel4", "Panel7").
    QWidget* m_graphArea = nullptr;    // the main graph, above the splitter
    QWidget* m_lowerArea = nullptr;    // below the splitter: the parameter panel and the overview
    QWidget* m_overviewArea = nullptr; // the overview graph's frame
    QSplitter* m_hSplitter = nullptr;
    TParamsPanel* m_params = nullptr;
    TEventsDock* m_eventsDock = nullptr;
    TNamePanel* m_namePanel = nullptr;
    QLabel* m_datePanel = nullptr;
    QLabel* m_clock = nullptr;
    QLabel* m_picturesCount = nullptr;
    QComboBox* m_framesPerPage = nullptr; // the print queue's page marking ("ComboBox1")
    QLineEdit* m_workerNumEd = nullptr;
    QToolButton* m_reRegisterBtn = nullptr;
    QMenu* m_popup = nullptr;
    TExportForm* m_exportForm = nullptr; // a child window, made at the first export
    QAction* m_spliceDivider = nullptr; // the toolbar's divider before the construction buttons
    QTimer* m_clockTimer = nullptr;
    QDate m_alarmDate;
    bool m_shownOnce = false;
    bool m_cursorReported = false; // the graph's last cursor report said "visible"
    QList<QAction*> m_pending;     // commands whose work comes later: always disabled
    QString m_lineName;
    QPointer<QWidget> m_modeWindow;
    // The traces of the sets opened in this mode and their fibre numbers.
    std::map<const TRDataStorage*, int> m_fibreNumbers;
};

} // namespace lv

// The print commands of the main window: "Печать..." with its dialog, the quick print of the
// toolbar, "Настройка принтера...", adding to the print queue, the batch pages, and the
// composition of every picture the graph prints into its trace page.

#include <QPicture>

#include "display/uGraphPrint.h"
#include "display/uGraphsCmps.h"
#include "printing/uPictureFiles.h"
#include "printing/uPrintQueue.h"
#include "printing/uQtPrinter.h"
#include "printing/uTracePage.h"
#include "shell/Commonun.h"
#include "shell/fMainForm.h"

namespace lv {

const char* const kMsgPrintingGraphs = "Идет печать графиков";
const char* const kMsgQuickPrintingGraphs = "Идет печать графиков...";

namespace {

// The batch page for the duration of the batch print, on every path out of it.
class TBatchPageScope {
public:
    explicit TBatchPageScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TBatchPageScope() { m_flag = false; }
    TBatchPageScope(const TBatchPageScope&) = delete;
    TBatchPageScope& operator=(const TBatchPageScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

void TMainForm::SetPrintDevices(IPrinter* printer, IPrintDialogs* dialogs) {
    m_commandPrinter = printer ? printer : m_printer.get();
    m_dialogs = dialogs ? dialogs : m_printDialogs.get();
    m_printQueue->SetPrinter(m_commandPrinter);
}

TPageContext TMainForm::PageContext() const {
    TPageContext context;
    context.Now = PageClock ? PageClock() : QDateTime::currentDateTime();
    context.Locale = PageLocale.value_or(QLocale());
    // Composed now, not taken from the date panel: that one turns over only at 00:34.
    context.DateText = DatePanelText(context.Now.date(), context.Locale);
    return context;
}

void TMainForm::connectPrintEvents() {
    // Picture files of every kind but the bitmap are written above the graph's layer.
    MainGraph->SetPictureWriter(WritePictureFile);
    MainGraph->OnAfterCreateMetafile = [this](TGraphView*, std::unique_ptr<QPicture>& picture,
                                              TGDataItem* item, TRect& r) {
        composePage(picture, item, r, TTracePageLayout::SideColumn);
    };
    MainGraph->OnAfterCreateQueueMetafile = [this](TGraphView*, std::unique_ptr<QPicture>& picture,
                                                   TGDataItem* item, const TRect& r) {
        composePage(picture, item, r,
                    m_printQueue->FramesPerPage() > 4 ? TTracePageLayout::Compact
                                                      : TTracePageLayout::SideColumn);
    };
}

void TMainForm::composePage(std::unique_ptr<QPicture>& picture, TGDataItem* item, const TRect& r,
                            TTracePageLayout layout) {
    if (!picture) return;
    const TTracePageData data = TracePageData(dynamic_cast<TMainDataItem*>(item), MainGraph->GetVisExts());
    const TPageContext context = PageContext();
    const QSize graph = PictureSize(*picture);
    const TComposedPage page = m_batchPage ? BatchPage(graph, RusPrint, data, m_settings, context)
                                           : StandardPage(graph, r, layout, data, m_settings, context);
    picture = ComposedPagePicture(*picture, page);
}

void TMainForm::takePrinterSettings() {
    TGraphPrintSettings& s = MainGraph->PrintSettings();
    const IPrinter& printer = *m_commandPrinter;
    if (const auto orientation = printer.Orientation(); orientation && *orientation != s.PrintOrientation())
        s.SetPrintOrientation(*orientation);
    if (const int paper = printer.PaperSize(); paper > 0 && paper != s.PrintPaperSize())
        s.SetPrintPaperSize(paper);
}

void TMainForm::printPrepared(const char* message) {
    if (MainGraph->PrintSettings().PrintCount() == 0) return;
    RunIndicated(QStringLiteral("Lumvaris"), QString::fromUtf8(message), {},
                 [this] { MainGraph->PrintGraphs(*m_commandPrinter); });
}

void TMainForm::PrintWithDialog() {
    TGraphPrintSettings& s = MainGraph->PrintSettings();
    // What the printer refuses (no printer at all) is left to the dialog.
    m_commandPrinter->SetOrientation(s.PrintOrientation());
    m_commandPrinter->SetPaperSize(s.PrintPaperSize());
    MainGraph->PreparePrint();
    // Nothing to print: no dialog offering pages 1 to 0.
    if (s.PrintCount() == 0) return;
    TPrintDialogRequest request;
    request.Copies = s.PrintCopies();
    request.MinPage = 1;
    request.MaxPage = s.PageCount();
    request.FromPage = 1;
    request.ToPage = s.PageCount();
    if (!m_dialogs->ExecPrint(request)) return;
    s.SetPrintCopies(request.Copies);
    if (request.PageRange) {
        s.SetFirstPage(request.FromPage);
        s.SetLastPage(request.ToPage);
    }
    takePrinterSettings();
    printPrepared(kMsgPrintingGraphs);
}

void TMainForm::QuickPrint() {
    if (m_settings.SaveBeforePrint) SaveTracesBeforePrint();
    MainGraph->PrintSettings().SetPrintCopies(1);
    MainGraph->PreparePrint();
    printPrepared(kMsgQuickPrintingGraphs);
}

void TMainForm::PrinterSetup() {
    const TGraphPrintSettings& s = MainGraph->PrintSettings();
    m_commandPrinter->SetOrientation(s.PrintOrientation());
    m_commandPrinter->SetPaperSize(s.PrintPaperSize());
    if (m_dialogs->ExecPageSetup()) takePrinterSettings();
}

void TMainForm::AddToQueue() {
    if (m_settings.SaveBeforePrint) SaveTracesBeforePrint();
    MainGraph->PrintSettings().SetPrintCopies(1);
    MainGraph->PreparePrint();
    MainGraph->PrintToQueue(*m_printQueue);
}

void TMainForm::PrintBatchPages() {
    MainGraph->PrintSettings().SetPrintCopies(1);
    MainGraph->PreparePrint();
    TBatchPageScope batch(m_batchPage);
    printPrepared(kMsgQuickPrintingGraphs);
}

} // namespace lv

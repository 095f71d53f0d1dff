#include "reports/uReportRun.h"

#include <filesystem>
#include <memory>

#include "formats/FileErrors.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kMsgTemplateNoSheet = "В шаблоне отчета %s нет листа \"%s\".";
const char* const kMsgReportStored = "Отчет сохранен в файле \"%s\".";

namespace fs = std::filesystem;

std::string FreeFileName(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return path;
    const fs::path p(path);
    for (int n = 2;; ++n) {
        fs::path candidate = p.parent_path() / (p.stem().string() + " (" + std::to_string(n) + ")" + p.extension().string());
        if (!fs::exists(candidate, ec)) return candidate.string();
    }
}

namespace {

// Connected for the report, and let go of whatever happens.
class OfficeSession {
public:
    explicit OfficeSession(ISpreadsheetApp& office) : m_office(office) {}
    ~OfficeSession() {
        if (m_connected) m_office.Disconnect();
    }
    void connect() {
        m_office.Connect();
        m_connected = true;
    }

private:
    ISpreadsheetApp& m_office;
    bool m_connected = false;
};

// Runs `step`, keeping the first failure for later so the steps after it still run.
template <class F> void keepFirstError(std::exception_ptr& first, F&& step) {
    try {
        step();
    } catch (...) {
        if (!first) first = std::current_exception();
    }
}

} // namespace

TReportRunResult RunReport(TReportInfo& info, ISpreadsheetApp& office, const TReportRunOptions& options,
                           const std::any& dopInfo) {
    TReportRunResult result;
    if (info.CanGenerate() != rsReady) return result;

    OfficeSession session(office);
    std::unique_ptr<ISpreadsheetBook> book;
    // The release happens on every way out: the request keeps no reference to the office.
    struct Release {
        TReportInfo& info;
        ~Release() {
            info.Cells = kNoSheet;
            info.Book = nullptr;
            info.Application = nullptr;
        }
    } release{info};

    if (info.NeedViewer) {
        session.connect();
        info.Application = &office;
    }
    if (info.NeedCells) {
        if (!info.Application) {
            info.Failed = -1;
        } else {
            const std::string templateFile = info.GetTemplateFileName();
            bool ours = false;
            if (!info.AddToSheet.empty()) book = office.FindBookWithSheet(info.AddToSheet);
            if (!book) {
                book = office.AddBook(templateFile);
                ours = true;
            }
            try {
                if (!book->HasSheet(options.FirstSheet))
                    throw ESpreadsheetError(FormatS(FormatS(kMsgTemplateNoSheet, info.Name), options.FirstSheet));
                info.Cells = book->Sheet(options.FirstSheet);
                book->Select(info.Cells, TCellRange::Cell(1, 1));
                if (options.ManualCalculation) book->SetAutomaticCalculation(false);
            } catch (...) {
                // A hidden workbook the operator could never see or close: it goes unsaved.
                if (ours) {
                    try {
                        book->Close();
                    } catch (...) {
                    }
                }
                throw;
            }
            info.Book = book.get();
        }
    }

    std::exception_ptr error;
    if (info.CanGenerate() == rsReady && info.Failed == 0) {
        keepFirstError(error, [&] { info.Generate(dopInfo); });
        result.Generated = !error;
    }

    if (info.Book) {
        ISpreadsheetBook& b = *info.Book;
        keepFirstError(error, [&] { b.Select(info.Cells, TCellRange::Cell(1, 1)); });
        if (options.ManualCalculation) keepFirstError(error, [&] { b.SetAutomaticCalculation(true); });
        std::string storeTo = options.StoreFile;
        bool announce = false;
        if (storeTo.empty() && !office.CanShow()) {
            storeTo = options.FallbackFile.empty()
                          ? (fs::temp_directory_path() / (info.Name.empty() ? "report.xlsx" : info.Name + ".xlsx")).string()
                          : options.FallbackFile;
            storeTo = FreeFileName(storeTo);
            announce = true;
        }
        if (storeTo.empty()) {
            keepFirstError(error, [&] { b.Show(); });
        } else {
            std::exception_ptr storeError;
            keepFirstError(storeError, [&] { b.StoreTo(storeTo); });
            if (!storeError) {
                result.StoredFile = storeTo;
                keepFirstError(error, [&] { b.Close(); });
                if (announce) MessageDlg(FormatS(kMsgReportStored, storeTo), TMsgDlgType::mtInformation, mbOK);
            } else if (!error) {
                error = storeError;
            }
        }
    }
    if (error) std::rethrow_exception(error);
    return result;
}

} // namespace lv

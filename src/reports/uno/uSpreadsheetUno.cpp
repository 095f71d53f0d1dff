#include "reports/uno/uSpreadsheetUno.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/CellDeleteMode.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCalculatable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeMovement.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/ustring.hxx>

#include "formats/FileErrors.h"
#include "reports/uAliases.h"

namespace lv {

namespace css = com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OString;
using rtl::OUString;

namespace {

const char* const kProgramDir = "/usr/lib/libreoffice/program";

OUString toU(const std::string& s) {
    return OUString(s.data(), static_cast<sal_Int32>(s.size()), RTL_TEXTENCODING_UTF8);
}

std::string fromU(const OUString& s) {
    const OString o = OUStringToOString(s, RTL_TEXTENCODING_UTF8);
    return std::string(o.getStr(), static_cast<size_t>(o.getLength()));
}

OUString fileUrl(const std::string& path) {
    const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
    OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(toU(absolute), url) != osl::FileBase::E_None)
        throw ESpreadsheetError(FormatS(kMsgOfficeFailed, "неверное имя файла " + path));
    return url;
}

css::beans::PropertyValue prop(const char* name, Any value) {
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = std::move(value);
    return p;
}

Sequence<css::beans::PropertyValue> props(std::initializer_list<css::beans::PropertyValue> list) {
    Sequence<css::beans::PropertyValue> seq(static_cast<sal_Int32>(list.size()));
    std::copy(list.begin(), list.end(), seq.getArray());
    return seq;
}

ESpreadsheetError wrapped(const std::string& what, const OUString& detail) {
    std::string text = FormatS(kMsgOfficeFailed, what);
    // The bridge's own text is empty or technical: it follows ours for the record.
    if (!detail.isEmpty()) text += "\n" + fromU(detail);
    return ESpreadsheetError(text);
}

// Runs an office call, turning the bridge's exceptions into the layer's.
template <class F> auto guarded(const std::string& what, F&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const ESpreadsheetError&) {
        throw;
    } catch (const css::lang::DisposedException& e) {
        std::string text = kMsgOfficeLost;
        if (!e.Message.isEmpty()) text += "\n" + fromU(e.Message);
        throw ESpreadsheetError(text);
    } catch (const css::uno::Exception& e) {
        throw wrapped(what, e.Message);
    }
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(::getuid());
}

css::table::CellRangeAddress address(sal_Int16 sheet, const TCellRange& r) {
    css::table::CellRangeAddress a;
    a.Sheet = sheet;
    a.StartColumn = r.Left - 1;
    a.StartRow = r.Top - 1;
    a.EndColumn = r.Right - 1;
    a.EndRow = r.Bottom - 1;
    return a;
}

} // namespace

std::string FindSoffice() {
    if (const char* path = std::getenv("PATH")) {
        std::string p = path;
        for (size_t start = 0; start <= p.size();) {
            size_t end = p.find(':', start);
            if (end == std::string::npos) end = p.size();
            const std::string candidate = p.substr(start, end - start) + "/soffice";
            if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
    }
    const std::string installed = std::string(kProgramDir) + "/soffice";
    return ::access(installed.c_str(), X_OK) == 0 ? installed : std::string();
}

// --- the connection -----------------------------------------------------------------------------

struct TUnoSpreadsheetApp::Impl {
    TUnoOfficeOptions options;
    Reference<css::uno::XComponentContext> local;
    Reference<css::bridge::XBridge> bridge;
    Reference<css::uno::XComponentContext> remote;
    Reference<css::frame::XDesktop2> desktop;
    pid_t child = -1; // an own office's process

    std::string pipeName() const {
        return options.PipeName.empty() ? "lumvaris_" + userName() : options.PipeName;
    }

    bool connected() const { return desktop.is(); }

    void requireConnection() const {
        if (!connected()) throw ESpreadsheetError(kMsgOfficeLost);
    }

    // One attempt to reach the office on the pipe; false when nobody listens.
    bool tryConnect() {
        try {
            Reference<css::connection::XConnector> connector = css::connection::Connector::create(local);
            Reference<css::connection::XConnection> connection = connector->connect(toU("pipe,name=" + pipeName()));
            Reference<css::bridge::XBridgeFactory2> factory = css::bridge::BridgeFactory::create(local);
            bridge = factory->createBridge(OUString(), "urp", connection, nullptr);
            remote.set(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY_THROW);
            desktop = css::frame::Desktop::create(remote);
            return true;
        } catch (const css::connection::NoConnectException&) {
            dropBridge();
            return false;
        }
    }

    void dropBridge() {
        desktop.clear();
        remote.clear();
        if (Reference<css::lang::XComponent> c{bridge, UNO_QUERY}; c.is()) {
            try {
                c->dispose();
            } catch (const css::uno::Exception&) {
            }
        }
        bridge.clear();
    }

    std::vector<std::string> startArguments() const {
        std::vector<std::string> args{"soffice", "--accept=pipe,name=" + pipeName() + ";urp;StarOffice.ComponentContext",
                                      "--nologo", "--nodefault"};
        if (options.Headless) {
            args.insert(args.end(), {"--headless", "--invisible", "--norestore", "--nolockcheck"});
        }
        if (!options.ProfileDir.empty()) args.push_back("-env:UserInstallation=" + fromU(fileUrl(options.ProfileDir)));
        return args;
    }

    // Starts the office: an own one as a child, the user's apart from the program (a second
    // start on a running profile hands the pipe request to that office and ends at once).
    void startOffice() {
        std::string program = options.SofficePath.empty() ? FindSoffice() : options.SofficePath;
        if (program.empty() || ::access(program.c_str(), X_OK) != 0) throw ESpreadsheetError(kMsgCannotStartOffice);
        std::vector<std::string> args = startArguments();
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const bool own = options.OwnOffice;
        const pid_t pid = ::fork();
        if (pid < 0) throw ESpreadsheetError(kMsgCannotStartOffice);
        if (pid == 0) {
            const int devnull = ::open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                ::dup2(devnull, 0);
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
            }
            if (!own) {
                // Detached: not our child, not in our session, outliving the program.
                ::setsid();
                if (::fork() != 0) ::_exit(0);
            }
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        if (own) {
            child = pid;
        } else {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }

    // True while an own office that failed to start has not ended yet.
    bool childFailed() {
        if (child <= 0) return false;
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            child = -1;
            return true;
        }
        return false;
    }

    void connect() {
        if (connected()) return;
        if (!std::getenv("URE_BOOTSTRAP"))
            ::setenv("URE_BOOTSTRAP", (std::string("vnd.sun.star.pathname:") + kProgramDir + "/fundamentalrc").c_str(), 0);
        if (!local.is()) {
            try {
                local = cppu::defaultBootstrap_InitialComponentContext();
            } catch (const css::uno::Exception& e) {
                throw wrapped("запуск связи с офисом", e.Message);
            }
        }
        try {
            if (tryConnect()) return;
            startOffice();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.StartTimeoutMs);
            while (std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                if (tryConnect()) return;
                if (childFailed()) throw ESpreadsheetError(kMsgCannotStartOffice);
            }
        } catch (const ESpreadsheetError&) {
            disconnect();
            throw;
        } catch (const css::uno::Exception& e) {
            disconnect();
            throw wrapped("подключение к офису", e.Message);
        }
        disconnect();
        throw ESpreadsheetError(kMsgOfficeNoAnswer);
    }

    void disconnect() {
        dropBridge();
        // The local context owns the bridge factory and the type manager; disposing it lets
        // the UNO runtime free what it holds.
        if (Reference<css::lang::XComponent> c{local, UNO_QUERY}; c.is()) {
            try {
                c->dispose();
            } catch (const css::uno::Exception&) {
            }
        }
        local.clear();
    }

    void terminate() {
        // An own office may have been let go between reports: reach it once more to end it.
        if (!connected() && child > 0) {
            try {
                if (!local.is()) local = cppu::defaultBootstrap_InitialComponentContext();
                tryConnect();
            } catch (const css::uno::Exception&) {
            }
        }
        if (connected()) {
            try {
                desktop->terminate();
            } catch (const css::uno::Exception&) {
                // The bridge goes down with the office while the call returns.
            }
        }
        disconnect();
        if (child > 0) {
            int status = 0;
            for (int i = 0; i < 200; ++i) {
                if (::waitpid(child, &status, WNOHANG) == child) {
                    child = -1;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            // A clean end was asked for and did not come in ten seconds.
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            child = -1;
        }
    }
};

// --- a workbook ------------------------------------------------------------------------------------

namespace {

class TUnoBook : public ISpreadsheetBook {
public:
    TUnoBook(std::shared_ptr<TUnoSpreadsheetApp::Impl> app, Reference<css::sheet::XSpreadsheetDocument> doc)
        : m_app(std::move(app)), m_doc(std::move(doc)) {}

    std::vector<std::string> SheetNames() override {
        return guarded("чтение списка листов", [&] {
            std::vector<std::string> names;
            for (const OUString& n : sheets()->getElementNames()) names.push_back(fromU(n));
            return names;
        });
    }

    bool HasSheet(const std::string& name) override { return !findName(name).empty(); }

    TSheetHandle Sheet(const std::string& name) override {
        const std::string actual = findName(name);
        if (actual.empty()) throw ESpreadsheetError(FormatS(kMsgNoSheet, name));
        return guarded("поиск листа \"" + name + "\"", [&] {
            Reference<css::sheet::XSpreadsheet> s(sheets()->getByName(toU(actual)), UNO_QUERY_THROW);
            return remember(s);
        });
    }

    std::string SheetName(TSheetHandle sheet) override {
        return guarded("чтение имени листа", [&] { return fromU(named(sheet)->getName()); });
    }

    void RenameSheet(TSheetHandle sheet, const std::string& name) override {
        checkNewName(name, sheet);
        guarded("переименование листа в \"" + name + "\"", [&] {
            named(sheet)->setName(toU(name));
            // The office ignores a name it does not like without a word: read it back.
            if (fromU(named(sheet)->getName()) != name) throw ESpreadsheetError(FormatS(kMsgBadSheetName, name));
        });
    }

    TSheetHandle CopySheet(TSheetHandle source, TSheetHandle before, const std::string& name) override {
        checkNewName(name, kNoSheet);
        return guarded("копирование листа в \"" + name + "\"", [&] {
            const OUString sourceName = named(source)->getName();
            const OUString beforeName = named(before)->getName();
            const Sequence<OUString> names = sheets()->getElementNames();
            sal_Int16 position = 0;
            while (position < names.getLength() && names[position] != beforeName) ++position;
            sheets()->copyByName(sourceName, toU(name), position);
            Reference<css::sheet::XSpreadsheet> copy(sheets()->getByName(toU(name)), UNO_QUERY_THROW);
            return remember(copy);
        });
    }

    void PutValues(TSheetHandle sheet, int row, int column, const TCellBlock& block) override {
        // Runs of rows of one length go as one block write each.
        for (size_t start = 0; start < block.size();) {
            size_t end = start + 1;
            while (end < block.size() && block[end].size() == block[start].size()) ++end;
            if (!block[start].empty())
                putRect(sheet, row + static_cast<int>(start), column, block, start, end);
            start = end;
        }
    }

    TCellBlock GetValues(TSheetHandle sheet, const TCellRange& range) override {
        CheckRange(range);
        return guarded("чтение ячеек " + where(sheet, range), [&] {
            Reference<css::table::XCellRange> r = cells(sheet, range);
            const Sequence<Sequence<Any>> data = Reference<css::sheet::XCellRangeData>(r, UNO_QUERY_THROW)->getDataArray();
            TCellBlock block(static_cast<size_t>(range.Rows()), TCellRow(static_cast<size_t>(range.Columns())));
            for (sal_Int32 i = 0; i < data.getLength() && i < range.Rows(); ++i)
                for (sal_Int32 j = 0; j < data[i].getLength() && j < range.Columns(); ++j) {
                    const Any& a = data[i][j];
                    double d = 0;
                    OUString s;
                    if (a >>= d)
                        block[i][j] = TCellValue::Num(d);
                    else if (a >>= s)
                        block[i][j] = TCellValue::Text(fromU(s));
                }
            // An empty cell and an empty text read alike: ask which cells are empty.
            Reference<css::sheet::XSheetCellRanges> empty =
                Reference<css::sheet::XCellRangesQuery>(r, UNO_QUERY_THROW)->queryEmptyCells();
            for (const auto& a : empty->getRangeAddresses())
                for (sal_Int32 rr = a.StartRow; rr <= a.EndRow; ++rr)
                    for (sal_Int32 cc = a.StartColumn; cc <= a.EndColumn; ++cc) {
                        const int i = rr + 1 - range.Top, j = cc + 1 - range.Left;
                        if (i >= 0 && j >= 0 && i < range.Rows() && j < range.Columns()) block[i][j] = TCellValue{};
                    }
            return block;
        });
    }

    std::string ShownText(TSheetHandle sheet, int row, int column) override {
        const TCellRange cell = TCellRange::Cell(row, column);
        CheckRange(cell);
        return guarded("чтение ячейки " + where(sheet, cell), [&] {
            Reference<css::text::XTextRange> t(spreadsheet(sheet)->getCellByPosition(column - 1, row - 1), UNO_QUERY_THROW);
            return fromU(t->getString());
        });
    }

    void SetBorder(TSheetHandle sheet, const std::vector<TCellRange>& ranges, TBorderEdge edge) override {
        css::table::BorderLine2 line;
        line.Color = 0;
        line.LineStyle = css::table::BorderLineStyle::SOLID;
        line.LineWidth = 26; // 0.75 pt: Excel's thin line
        line.OuterLineWidth = 26;
        css::table::TableBorder2 border;
        if (edge == TBorderEdge::Top) {
            border.TopLine = line;
            border.IsTopLineValid = true;
        } else {
            border.BottomLine = line;
            border.IsBottomLineValid = true;
        }
        for (const auto& range : ranges) {
            CheckRange(range);
            guarded("рисование линии " + where(sheet, range), [&] {
                Reference<css::beans::XPropertySet> p(cells(sheet, range), UNO_QUERY_THROW);
                p->setPropertyValue("TableBorder2", Any(border));
            });
        }
    }

    void SetInterior(TSheetHandle sheet, const std::vector<TCellRange>& ranges, int colorIndex) override {
        const auto rgb = static_cast<sal_Int32>(ColorIndexRgb(colorIndex));
        if (ranges.empty()) return;
        for (const auto& r : ranges) CheckRange(r);
        guarded("заливка ячеек листа \"" + SheetName(sheet) + "\"", [&] {
            // One collection of ranges, one call across the bridge.
            Reference<css::beans::XPropertySet> p(rangesOf(sheet, ranges), UNO_QUERY_THROW);
            p->setPropertyValue("IsCellBackgroundTransparent", Any(false));
            p->setPropertyValue("CellBackColor", Any(rgb));
        });
    }

    void DeleteRange(TSheetHandle sheet, const TCellRange& range, TDeleteShift shift) override {
        CheckRange(range);
        guarded("удаление ячеек " + where(sheet, range), [&] {
            Reference<css::sheet::XCellRangeMovement> m(spreadsheet(sheet), UNO_QUERY_THROW);
            m->removeRange(address(sheetIndex(sheet), range),
                           shift == TDeleteShift::Up ? css::sheet::CellDeleteMode_UP : css::sheet::CellDeleteMode_LEFT);
        });
    }

    void ClearRange(TSheetHandle sheet, const TCellRange& range, TClearWhat what) override {
        CheckRange(range);
        namespace F = css::sheet::CellFlags;
        sal_Int32 flags = F::VALUE | F::DATETIME | F::STRING | F::FORMULA;
        if (what == TClearWhat::All) flags |= F::ANNOTATION | F::HARDATTR | F::STYLES | F::EDITATTR | F::FORMATTED;
        guarded("очистка ячеек " + where(sheet, range), [&] {
            Reference<css::sheet::XSheetOperation>(cells(sheet, range), UNO_QUERY_THROW)->clearContents(flags);
        });
    }

    void SetColumnWidth(TSheetHandle sheet, int column, double characters) override {
        CheckRange(TCellRange::Cell(1, column));
        guarded("ширина столбца " + ColumnLetters(column), [&] {
            Reference<css::table::XColumnRowRange> cr(spreadsheet(sheet), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> p(cr->getColumns()->getByIndex(column - 1), UNO_QUERY_THROW);
            p->setPropertyValue("Width", Any(static_cast<sal_Int32>(ColumnWidthHundredthsMm(characters))));
        });
    }

    void SetAutomaticCalculation(bool automatic) override {
        guarded("переключение пересчета", [&] {
            Reference<css::sheet::XCalculatable>(m_doc, UNO_QUERY_THROW)->enableAutomaticCalculation(automatic);
        });
    }

    void Calculate() override {
        guarded("пересчет формул", [&] { Reference<css::sheet::XCalculatable>(m_doc, UNO_QUERY_THROW)->calculateAll(); });
    }

    void Select(TSheetHandle sheet, const TCellRange& range) override {
        CheckRange(range);
        guarded("выделение " + where(sheet, range), [&] {
            Reference<css::frame::XController> controller = model()->getCurrentController();
            if (!controller.is()) return;
            Reference<css::sheet::XSpreadsheetView>(controller, UNO_QUERY_THROW)->setActiveSheet(spreadsheet(sheet));
            Reference<css::view::XSelectionSupplier>(controller, UNO_QUERY_THROW)->select(Any(cells(sheet, range)));
        });
    }

    void Show() override {
        guarded("показ книги", [&] {
            Reference<css::frame::XController> controller = model()->getCurrentController();
            if (!controller.is()) return;
            Reference<css::awt::XWindow> window = controller->getFrame()->getContainerWindow();
            window->setVisible(true);
            if (Reference<css::awt::XTopWindow> top{window, UNO_QUERY}; top.is()) top->toFront();
            window->setFocus();
        });
    }

    void StoreTo(const std::string& path) override {
        const std::string ext = std::filesystem::path(path).extension().string();
        const char* filter = ext == ".xlsx"   ? "Calc MS Excel 2007 XML"
                             : ext == ".xls"  ? "MS Excel 97"
                             : ext == ".ods"  ? "calc8"
                             : ext == ".fods" ? "OpenDocument Spreadsheet Flat"
                                              : nullptr;
        if (!filter) throw ESpreadsheetError(FormatS(kMsgCannotStoreBook, path));
        guarded(FormatS("сохранение книги в файл \"%s\"", path), [&] {
            const Sequence<css::beans::PropertyValue> args = props({prop("FilterName", Any(OUString::createFromAscii(filter))),
                                                     prop("Overwrite", Any(true))});
            Reference<css::frame::XStorable>(m_doc, UNO_QUERY_THROW)->storeToURL(fileUrl(path), args);
        });
    }

    void Close() override {
        guarded("закрытие книги", [&] {
            if (Reference<css::util::XCloseable> c{m_doc, UNO_QUERY}; c.is())
                c->close(true);
            else
                Reference<css::lang::XComponent>(m_doc, UNO_QUERY_THROW)->dispose();
        });
        m_sheets.clear();
    }

private:
    Reference<css::sheet::XSpreadsheets> sheets() {
        m_app->requireConnection();
        return m_doc->getSheets();
    }

    Reference<css::frame::XModel> model() {
        m_app->requireConnection();
        return Reference<css::frame::XModel>(m_doc, UNO_QUERY_THROW);
    }

    TSheetHandle remember(const Reference<css::sheet::XSpreadsheet>& s) {
        for (size_t i = 0; i < m_sheets.size(); ++i)
            if (m_sheets[i] == s) return static_cast<TSheetHandle>(i);
        m_sheets.push_back(s);
        return static_cast<TSheetHandle>(m_sheets.size() - 1);
    }

    Reference<css::sheet::XSpreadsheet> spreadsheet(TSheetHandle h) {
        m_app->requireConnection();
        if (h < 0 || static_cast<size_t>(h) >= m_sheets.size())
            throw ESpreadsheetError(FormatS(kMsgNoSheet, "#" + std::to_string(h)));
        return m_sheets[static_cast<size_t>(h)];
    }

    Reference<css::container::XNamed> named(TSheetHandle h) { return Reference<css::container::XNamed>(spreadsheet(h), UNO_QUERY_THROW); }

    sal_Int16 sheetIndex(TSheetHandle h) {
        return Reference<css::sheet::XCellRangeAddressable>(spreadsheet(h), UNO_QUERY_THROW)->getRangeAddress().Sheet;
    }

    Reference<css::table::XCellRange> cells(TSheetHandle h, const TCellRange& r) {
        return spreadsheet(h)->getCellRangeByPosition(r.Left - 1, r.Top - 1, r.Right - 1, r.Bottom - 1);
    }

    Reference<css::sheet::XSheetCellRangeContainer> rangesOf(TSheetHandle h, const std::vector<TCellRange>& ranges) {
        Reference<css::sheet::XSheetCellRangeContainer> c(
            Reference<css::lang::XMultiServiceFactory>(m_doc, UNO_QUERY_THROW)->createInstance("com.sun.star.sheet.SheetCellRanges"),
            UNO_QUERY_THROW);
        Sequence<css::table::CellRangeAddress> addresses(static_cast<sal_Int32>(ranges.size()));
        const sal_Int16 index = sheetIndex(h);
        for (size_t i = 0; i < ranges.size(); ++i) addresses.getArray()[i] = address(index, ranges[i]);
        c->addRangeAddresses(addresses, false);
        return c;
    }

    std::string where(TSheetHandle h, const TCellRange& r) {
        std::string name;
        try {
            name = fromU(named(h)->getName());
        } catch (...) {
        }
        return "\"" + name + "\"!" + RangeAddress(r);
    }

    std::string findName(const std::string& name) {
        for (const auto& n : SheetNames())
            if (SameName(n, name)) return n;
        return {};
    }

    void checkNewName(const std::string& name, TSheetHandle renamed) {
        if (!IsValidSheetName(name)) throw ESpreadsheetError(FormatS(kMsgBadSheetName, name));
        const std::string other = findName(name);
        if (!other.empty() && (renamed == kNoSheet || !SameName(SheetName(renamed), other)))
            throw ESpreadsheetError(FormatS(kMsgSheetExists, name));
    }

    sal_Int32 dateFormat() {
        if (m_dateFormat >= 0) return m_dateFormat;
        Reference<css::util::XNumberFormats> formats =
            Reference<css::util::XNumberFormatsSupplier>(m_doc, UNO_QUERY_THROW)->getNumberFormats();
        const css::lang::Locale ru("ru", "RU", "");
        m_dateFormat = formats->queryKey("DD.MM.YYYY", ru, false);
        if (m_dateFormat < 0) m_dateFormat = formats->addNew("DD.MM.YYYY", ru);
        return m_dateFormat;
    }

    bool hasDateFormat(TSheetHandle sheet, const TCellRange& cell) {
        const sal_Int32 key = Reference<css::beans::XPropertySet>(cells(sheet, cell), UNO_QUERY_THROW)
                                  ->getPropertyValue("NumberFormat")
                                  .get<sal_Int32>();
        Reference<css::util::XNumberFormats> formats =
            Reference<css::util::XNumberFormatsSupplier>(m_doc, UNO_QUERY_THROW)->getNumberFormats();
        const sal_Int16 type = formats->getByKey(key)->getPropertyValue("Type").get<sal_Int16>();
        return (type & css::util::NumberFormat::DATE) != 0;
    }

    void putRect(TSheetHandle sheet, int row, int column, const TCellBlock& block, size_t first, size_t end) {
        const int width = static_cast<int>(block[first].size());
        const TCellRange range{row, column, row + static_cast<int>(end - first) - 1, column + width - 1};
        CheckRange(range);
        guarded("запись ячеек " + where(sheet, range), [&] {
            Sequence<Sequence<Any>> data(static_cast<sal_Int32>(end - first));
            std::vector<TCellRange> dates;
            for (size_t i = first; i < end; ++i) {
                Sequence<Any> line(width);
                Any* out = line.getArray();
                for (int j = 0; j < width; ++j) {
                    const TCellValue& v = block[i][static_cast<size_t>(j)];
                    switch (v.kind) {
                    // An empty text empties the cell (a void element brings the office down).
                    case TCellValue::Kind::Empty: out[j] <<= OUString(); break;
                    case TCellValue::Kind::Number: out[j] <<= v.number; break;
                    case TCellValue::Kind::Date:
                        out[j] <<= v.number;
                        dates.push_back(TCellRange::Cell(row + static_cast<int>(i - first), column + j));
                        break;
                    // A string through the data array stays a text: "=1+1" never becomes a formula.
                    case TCellValue::Kind::Text: out[j] <<= toU(v.text); break;
                    }
                }
                data.getArray()[i - first] = line;
            }
            Reference<css::sheet::XCellRangeData>(cells(sheet, range), UNO_QUERY_THROW)->setDataArray(data);
            // A template's own date format stays, as Excel keeps it when a date is put.
            dates.erase(std::remove_if(dates.begin(), dates.end(), [&](const TCellRange& c) { return hasDateFormat(sheet, c); }),
                        dates.end());
            if (!dates.empty())
                Reference<css::beans::XPropertySet>(rangesOf(sheet, dates), UNO_QUERY_THROW)
                    ->setPropertyValue("NumberFormat", Any(dateFormat()));
        });
    }

    std::shared_ptr<TUnoSpreadsheetApp::Impl> m_app;
    Reference<css::sheet::XSpreadsheetDocument> m_doc;
    std::vector<Reference<css::sheet::XSpreadsheet>> m_sheets; // the handles
    sal_Int32 m_dateFormat = -1;
};

} // namespace

// --- the application --------------------------------------------------------------------------------

TUnoSpreadsheetApp::TUnoSpreadsheetApp(TUnoOfficeOptions options) : m_impl(std::make_shared<Impl>()) {
    m_impl->options = std::move(options);
}

TUnoSpreadsheetApp::~TUnoSpreadsheetApp() {
    // Releasing never quits an office the user may be working in; an own office ends with us.
    if (m_impl->options.OwnOffice)
        m_impl->terminate();
    else
        m_impl->disconnect();
}

void TUnoSpreadsheetApp::Connect() {
    m_impl->connect();
}

bool TUnoSpreadsheetApp::Connected() const {
    return m_impl->connected();
}

void TUnoSpreadsheetApp::Disconnect() {
    m_impl->disconnect();
}

void TUnoSpreadsheetApp::TerminateOffice() {
    m_impl->terminate();
}

std::unique_ptr<ISpreadsheetBook> TUnoSpreadsheetApp::AddBook(const std::string& templateFile) {
    m_impl->requireConnection();
    const std::string what = templateFile.empty() ? "создание книги" : FormatS("открытие шаблона \"%s\"", templateFile);
    return guarded(what, [&]() -> std::unique_ptr<ISpreadsheetBook> {
        Reference<css::frame::XComponentLoader> loader(m_impl->desktop, UNO_QUERY_THROW);
        Reference<css::lang::XComponent> component;
        if (templateFile.empty()) {
            const Sequence<css::beans::PropertyValue> args = props({prop("Hidden", Any(true))});
            component = loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, args);
        } else {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(templateFile, ec))
                throw ESpreadsheetError(FormatS(kMsgCannotOpenTemplate, templateFile));
            // A template makes a new untitled workbook; the file itself is never written.
            const Sequence<css::beans::PropertyValue> args = props({prop("Hidden", Any(true)), prop("AsTemplate", Any(true))});
            try {
                component = loader->loadComponentFromURL(fileUrl(templateFile), "_blank", 0, args);
            } catch (const css::lang::DisposedException&) {
                throw;
            } catch (const css::uno::Exception& e) {
                std::string text = FormatS(kMsgCannotOpenTemplate, templateFile);
                if (!e.Message.isEmpty()) text += "\n" + fromU(e.Message);
                throw ESpreadsheetError(text);
            }
        }
        Reference<css::sheet::XSpreadsheetDocument> doc(component, UNO_QUERY);
        if (!doc.is()) {
            if (Reference<css::util::XCloseable> c{component, UNO_QUERY}; c.is()) c->close(true);
            throw ESpreadsheetError(FormatS(kMsgCannotOpenTemplate, templateFile));
        }
        return std::make_unique<TUnoBook>(m_impl, doc);
    });
}

std::unique_ptr<ISpreadsheetBook> TUnoSpreadsheetApp::FindBookWithSheet(const std::string& sheetName) {
    m_impl->requireConnection();
    return guarded("поиск открытой книги", [&]() -> std::unique_ptr<ISpreadsheetBook> {
        Reference<css::container::XEnumeration> e = m_impl->desktop->getComponents()->createEnumeration();
        while (e->hasMoreElements()) {
            Reference<css::sheet::XSpreadsheetDocument> doc(e->nextElement(), UNO_QUERY);
            if (!doc.is()) continue;
            // A look-up that fails counts as "not there".
            try {
                for (const OUString& n : doc->getSheets()->getElementNames())
                    if (SameName(fromU(n), sheetName)) return std::make_unique<TUnoBook>(m_impl, doc);
            } catch (const css::uno::RuntimeException&) {
            }
        }
        return nullptr;
    });
}

bool TUnoSpreadsheetApp::CanShow() const {
    if (m_impl->options.Headless) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(x11 && *x11) && !(wayland && *wayland)) return false;
    // The headless packages carry no window system plug-in.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kProgramDir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("libvclplug_", 0) == 0 && name != "libvclplug_svplo.so") return true;
    }
    return false;
}

} // namespace lv

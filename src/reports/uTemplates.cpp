#include "reports/uTemplates.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "formats/FileErrors.h"
#include "formats/SafeFile.h"

namespace lv {

const char* const kMsgReportCannot = "Отчет %s не может быть сформирован";
const char* const kMsgReportNotFound = "Отчет %s не найден";
const char* const kMsgReportWrongState = "Отчет %s не может быть сформирован в текущем состоянии справочника";
const char* const kMsgReportNoData = "Данные для отчета %s не готовы";
const char* const kMsgReportNoHandler = "Не найдена процедура генерации отчета %s";

namespace {

bool startsWith(const std::vector<uint8_t>& data, size_t at, std::string_view text) {
    return data.size() >= at + text.size() && std::memcmp(data.data() + at, text.data(), text.size()) == 0;
}

bool contains(const std::vector<uint8_t>& data, size_t limit, std::string_view text) {
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(std::min(limit, data.size()));
    return std::search(data.begin(), end, text.begin(), text.end()) != end;
}

// A new private file "<temp>/~ftXXXXXX<ext>" holding `data`.
std::string writePrivateTempFile(const std::vector<uint8_t>& data, const std::string& extension) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("~ftXXXXXX" + extension)).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkstemps makes the file with mode 0600 and a name nobody else has.
    const int fd = ::mkstemps(name.data(), static_cast<int>(extension.size()));
    if (fd < 0) throw EFileError(FormatS(kMsgCannotSaveFile, pattern));
    const std::string path(name.data());
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int code = errno;
            ::close(fd);
            ::unlink(path.c_str());
            throw EFileError(FormatS(kMsgCannotSaveFile, path), code);
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(path.c_str());
        throw EFileError(FormatS(kMsgCannotSaveFile, path), code);
    }
    return path;
}

} // namespace

std::string WorkbookExtension(const std::vector<uint8_t>& data) {
    static const char kOle[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (startsWith(data, 0, std::string_view(kOle, 8))) return ".xls";
    if (startsWith(data, 0, "PK\x03\x04")) {
        // An ODF package names its type in the stored "mimetype" entry, which comes first.
        if (startsWith(data, 30, "mimetypeapplication/vnd.oasis.opendocument.spreadsheet-template")) return ".ots";
        if (startsWith(data, 30, "mimetypeapplication/vnd.oasis.opendocument.spreadsheet")) return ".ods";
        return ".xlsx";
    }
    size_t at = startsWith(data, 0, "\xEF\xBB\xBF") ? 3 : 0;
    if (startsWith(data, at, "<?xml") && contains(data, 4096, "office:document")) return ".fods";
    return ".xls";
}

// --- TCustomTemplate ---------------------------------------------------------------------------

void TCustomTemplate::Assign(const TCustomTemplate* source) {
    if (!source) return;
    ShortCut = source->ShortCut;
    Icon = source->Icon;
}

// --- TFileTemplate -----------------------------------------------------------------------------

TFileTemplate::~TFileTemplate() {
    giveUpTempFile();
}

void TFileTemplate::giveUpTempFile() {
    if (!m_tempFile.empty() && AutoDeleteTempFile) ::unlink(m_tempFile.c_str());
    m_tempFile.clear();
}

void TFileTemplate::SetData(std::vector<uint8_t> data) {
    giveUpTempFile();
    m_data = std::move(data);
}

void TFileTemplate::LoadFromFile(const std::string& path) {
    SetData(ReadWholeFile(path));
}

std::string TFileTemplate::GetTemplateFileName() {
    std::error_code ec;
    if (!m_tempFile.empty() && std::filesystem::is_regular_file(m_tempFile, ec)) return m_tempFile;
    giveUpTempFile();
    if (m_data.empty()) return {};
    m_tempFile = writePrivateTempFile(m_data, WorkbookExtension(m_data));
    return m_tempFile;
}

void TFileTemplate::Assign(const TCustomTemplate* source) {
    if (!source) {
        SetData({});
        return;
    }
    TCustomTemplate::Assign(source);
    if (auto* file = dynamic_cast<const TFileTemplate*>(source)) {
        giveUpTempFile();
        AutoDeleteTempFile = file->AutoDeleteTempFile;
        m_data = file->m_data;
    }
}

// --- TReportTemplate ---------------------------------------------------------------------------

void TReportTemplate::SetNeedViewer(bool value) {
    m_needViewer = value;
    if (!value) m_needCells = false;
}

void TReportTemplate::SetNeedCells(bool value) {
    m_needCells = value;
    if (value) m_needViewer = true;
}

void TReportTemplate::Assign(const TCustomTemplate* source) {
    TFileTemplate::Assign(source);
    if (auto* report = dynamic_cast<const TReportTemplate*>(source)) {
        m_needViewer = report->m_needViewer;
        m_needCells = report->m_needCells;
        AddToSheet = report->AddToSheet;
    }
}

// --- TTemplateItem -----------------------------------------------------------------------------

void TTemplateItem::Assign(const TAliasItem& source) {
    TAliasItem::Assign(source);
    if (auto* item = dynamic_cast<const TTemplateItem*>(&source)) m_template->Assign(item->m_template.get());
}

// --- TReportTemplateHolder ---------------------------------------------------------------------

std::string TReportTemplateHolder::GetHolderName() const {
    return Name().empty() ? ClassName() : Name();
}

void TReportTemplateHolder::PrepareReport(TReportInfo& info) {
    TReportTemplateItem* item = FindReport(info.Name);
    if (!item) {
        info.State = rsNotFound;
        info.Failed = -1;
        return;
    }
    info.ShortCut = item->ShortCut();
    info.NeedViewer = item->NeedViewer();
    info.NeedCells = item->NeedCells();
    info.AddToSheet = item->AddToSheet();
    info.OnGenerateReport = item->OnGenerateReport;
    info.OnCanGenerateReport = item->OnCanGenerateReport;
    info.Holder = this;
    info.State = rsReady;
    info.Failed = 0;
}

void TReportTemplateHolder::ListReports(TNameList& list) const {
    Reports().ListNames(list);
}

std::string TReportTemplateHolder::GetTemplateFile(TReportInfo& info) {
    TReportTemplateItem* item = FindReport(info.Name);
    if (!item) {
        info.State = rsNotFound;
        info.Failed = -1;
        return {};
    }
    info.Failed = 0;
    return item->FileTemplate().GetTemplateFileName();
}

// --- TReportInfo -------------------------------------------------------------------------------

TCanGenerate TReportInfo::CanGenerate() {
    if (OnCanGenerateReport)
        OnCanGenerateReport(*this, State);
    else
        State = rsReady;
    return State;
}

void TReportInfo::Generate(const std::any& dopInfo) {
    if (CanGenerate() != rsReady) return;
    if (OnGenerateReport)
        OnGenerateReport(*this, dopInfo);
    else
        Failed = -1;
}

std::string TReportInfo::GetTemplateFileName() {
    if (TemplateFileName.empty() && Holder) TemplateFileName = Holder->GetTemplateFile(*this);
    return TemplateFileName;
}

std::string TReportInfo::GetMessage() const {
    switch (State) {
    case rsReady: return Failed != 0 ? FormatS(kMsgReportNoHandler, Name) : std::string();
    case rsCannot: return FormatS(kMsgReportCannot, Name);
    case rsNotFound: return FormatS(kMsgReportNotFound, Name);
    case rsWrongState: return FormatS(kMsgReportWrongState, Name);
    case rsNoData: return FormatS(kMsgReportNoData, Name);
    }
    return {};
}

} // namespace lv

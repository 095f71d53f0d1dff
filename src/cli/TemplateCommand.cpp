#include "cli/TemplateCommand.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "reports/uReportRun.h"
#include "reports/uTemplateBooks.h"
#include "reports/uTemplates.h"
#ifdef LUMVARIS_HAVE_UNO
#include "reports/uno/uSpreadsheetUno.h"
#endif

namespace lvcli {

using namespace lv;

TCliOffice::TCliOffice(bool own) {
    if (own) {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumvaris-office-XXXXXX").string();
        if (::mkdtemp(pattern.data())) m_profile = pattern;
    }
#ifdef LUMVARIS_HAVE_UNO
    TUnoOfficeOptions o;
    if (own) {
        o.PipeName = "lumvaris_cli_" + std::to_string(::getpid());
        o.ProfileDir = m_profile;
        o.Headless = true;
        o.OwnOffice = true;
    }
    m_app = std::make_unique<TUnoSpreadsheetApp>(o);
#else
    m_app = std::make_unique<TNoSpreadsheetApp>();
#endif
}

TCliOffice::~TCliOffice() {
    m_app.reset(); // an own office ends with its application object

    std::error_code ec;
    if (!m_profile.empty()) std::filesystem::remove_all(m_profile, ec);
}

int RunTemplateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3) return -1;
    const std::string& name = args[1];
    const std::string& target = args[2];
    bool known = false;
    for (const auto& n : BuiltInTemplateNames()) known = known || n == name;
    if (!known) return -1;
    TReportTemplateHolder holder;
    TReportTemplateItem& item = holder.Reports().Add();
    item.SetName(name);
    item.FileTemplate().SetData(BuiltInTemplateData(name));
    item.OnGenerateReport = [](TReportInfo&, const std::any&) {};
    const std::string firstSheet = name == "SimplePasport" ? TConstructionLayout::Summary : kVhPasportLayout.Sheet;
    try {
        if (target != "--show" && std::filesystem::path(target).extension() == ".fods") {
            // The templates are flat OpenDocument already: no office needed.
            const auto& data = item.FileTemplate().Data();
            std::ofstream f(target, std::ios::binary | std::ios::trunc);
            f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
            if (!f.flush()) throw Exception("Не удается записать файл \"" + target + "\"");
            out << target << "\n";
            return 0;
        }
        const bool show = target == "--show";
        TCliOffice office(!show);
        TReportInfo info;
        info.Name = name;
        holder.PrepareReport(info);
        TReportRunOptions o;
        o.FirstSheet = firstSheet;
        if (!show) o.StoreFile = std::filesystem::absolute(target).string();
        const TReportRunResult r = RunReport(info, office.App(), o);
        if (!r.StoredFile.empty()) out << r.StoredFile << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}

} // namespace lvcli

#include "cli/CliOffice.h"

#include <unistd.h>

#include <filesystem>

#ifdef LUMVARIS_HAVE_UNO
#include "reports/uno/uSpreadsheetUno.h"
#endif

namespace lvcli {

using namespace lv;

CliOffice::CliOffice(bool own) : m_own(own) {
#ifdef LUMVARIS_HAVE_UNO
    TUnoOfficeOptions o;
    if (own) {
        // A private office for the command; the user's office is not touched.
        std::string pattern = (std::filesystem::temp_directory_path() / "lumvaris-office-XXXXXX").string();
        if (::mkdtemp(pattern.data())) m_profile = pattern;
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

CliOffice::~CliOffice() {
#ifdef LUMVARIS_HAVE_UNO
    if (m_own) {
        try {
            static_cast<TUnoSpreadsheetApp&>(*m_app).TerminateOffice();
        } catch (...) {
        }
    }
#endif
    m_app.reset();
    std::error_code ec;
    if (!m_profile.empty()) std::filesystem::remove_all(m_profile, ec);
}

} // namespace lvcli

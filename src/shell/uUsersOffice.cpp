#include "shell/uUsersOffice.h"

#include "reports/uSpreadsheet.h"
#ifdef LUMVARIS_HAVE_UNO
#include "reports/uno/uSpreadsheetUno.h"
#endif

namespace lv {

std::unique_ptr<ISpreadsheetApp> NewUsersOffice() {
#ifdef LUMVARIS_HAVE_UNO
    return std::make_unique<TUnoSpreadsheetApp>();
#else
    return std::make_unique<TNoSpreadsheetApp>();
#endif
}

} // namespace lv

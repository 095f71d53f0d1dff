#include "display/uPrinter.h"

#include <QPicture>

namespace lv {

const char* const kMsgPrinterNotReady =
    "Не удалось начать печать: принтер не установлен или не готов к печати.";
const char* const kMsgPrintFailed = "Ошибка при печати: задание не отправлено на принтер.";

TPrintJob::TPrintJob(IPrinter& printer, const QString& title)
    : m_printer(printer), m_painter(printer.BeginDoc(title)) {
    if (!m_painter) throw EPrintError(kMsgPrinterNotReady);
}

TPrintJob::~TPrintJob() {
    if (m_open) m_printer.Abort();
}

void TPrintJob::Finish() {
    m_open = false;
    if (!m_printer.EndDoc()) throw EPrintError(kMsgPrintFailed);
}

int PictureResolution() {
    return QPicture().logicalDpiY();
}

} // namespace lv

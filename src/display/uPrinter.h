#pragma once
// What graph printing and the print queue need of a printer, so that neither talks to QPrinter
// directly: the program's printer (printing/uQtPrinter.h) puts a QPrinter behind it, tests a
// recording one. Positions and sizes are device pixels of the painter BeginDoc hands out; a
// printer paints at the resolution pictures are recorded in (PictureResolution), so that text
// recorded in a picture keeps its size on paper.

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

#include "trace/Errors.h"

class QPainter;

namespace lv {

enum class TPrintOrientation { Portrait, Landscape };

// A job that could not be started or was ended by a failure.
class EPrintError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const kMsgPrinterNotReady; // "Не удалось начать печать: принтер не установлен …"
extern const char* const kMsgPrintFailed; // "Ошибка при печати: задание не отправлено на принтер."

class IPrinter {
public:
    virtual ~IPrinter() = default;

    // --- settings asked for before a job; a setter answers false when the printer refuses
    // Whether the printer makes copies of a job itself.
    virtual bool CanCopy() const = 0;
    virtual bool SetCopies(int copies) = 0;
    // Whether the printer knows portrait and landscape.
    virtual bool CanOrient() const = 0;
    // Empty when the printer cannot tell.
    virtual std::optional<TPrintOrientation> Orientation() const = 0;
    virtual bool SetOrientation(TPrintOrientation orientation) = 0;
    // A paper code (9 A4, 8 A3, 11 A5, 1 Letter, …); 0 when the printer cannot tell.
    virtual int PaperSize() const = 0;
    virtual bool SetPaperSize(int code) = 0;

    // --- one job
    // Starts a job; nullptr when the printer cannot print (none installed, not ready), and
    // nothing is written then. The painter belongs to the printer until EndDoc or Abort.
    virtual QPainter* BeginDoc(const QString& title) = 0;
    // The printable area of a sheet: the painter's origin is its top-left corner.
    virtual QSize PageSize() const = 0;
    // Where the printable area starts on the sheet.
    virtual QPoint PrintingOffset() const = 0;
    virtual bool NewPage() = 0;
    // Submits the job; false when that failed.
    virtual bool EndDoc() = 0;
    // Ends the job without submitting anything of it.
    virtual void Abort() = 0;
};

// One job for the life of the object: begun at construction (EPrintError kMsgPrinterNotReady when
// the printer cannot start), aborted at destruction unless Finish submitted it — a failure on the
// way never sends half a job to the printer.
class TPrintJob {
public:
    TPrintJob(IPrinter& printer, const QString& title);
    ~TPrintJob();
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    QPainter& Painter() { return *m_painter; }
    // Submits the job (EPrintError when the printer reports a failure).
    void Finish();

private:
    IPrinter& m_printer;
    QPainter* m_painter;
    bool m_open = true;
};

// The resolution pictures are recorded in (the screen's logical resolution, in dots per inch).
// A picture replayed on a device of another resolution gets its text resized by the ratio of the
// two, whatever the painter's scale; printers therefore paint at this resolution.
int PictureResolution();

} // namespace lv

#pragma once
// The program's printer: a QPrinter behind the printer seam of graph printing and the print
// queue, and the print and printer-setup dialogs on it.
//
// A job paints at the resolution pictures are recorded in (PictureResolution), whatever the
// printer's own: a picture's text replayed on a 1200 dpi device comes out twelve times too large.
// The printer's resolution is put back after the job. A job into a file (PDF) is written next to
// the file and put in its place when it is submitted: an aborted job leaves the old file as it
// was and nothing half-written.

#include <QPainter>
#include <QString>
#include <memory>

#include "display/uPrinter.h"

class QPrinter;
class QWidget;

namespace lv {

class TQtPrinter : public IPrinter {
public:
    // The system's default printer.
    TQtPrinter();
    // A printer that writes PDF into `pdfFileName`.
    explicit TQtPrinter(const QString& pdfFileName);
    ~TQtPrinter() override;
    TQtPrinter(const TQtPrinter&) = delete;
    TQtPrinter& operator=(const TQtPrinter&) = delete;

    // The QPrinter behind it (a new one after a job that could not begin).
    QPrinter& Printer() { return *m_printer; }
    // The file the printer writes into now holds for the next job only: the print dialog's
    // "print to file" must not make later prints (the queue's automatic ones) overwrite it.
    void SetOutputFileForOneJob() { m_fileForOneJob = true; }

    bool CanCopy() const override;
    bool SetCopies(int copies) override;
    bool CanOrient() const override;
    std::optional<TPrintOrientation> Orientation() const override;
    bool SetOrientation(TPrintOrientation orientation) override;
    int PaperSize() const override;
    bool SetPaperSize(int code) override;

    // Raises EFileError when a file printer cannot create its file.
    QPainter* BeginDoc(const QString& title) override;
    QSize PageSize() const override;
    QPoint PrintingOffset() const override;
    bool NewPage() override;
    bool EndDoc() override;
    void Abort() override;

private:
    // Puts the resolution and the output file back after a job.
    void endJob();
    void renew();

    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
    int m_savedResolution = 0;
    QString m_target; // the file the job is for
    QString m_temp;   // where it is written meanwhile
    bool m_fileForOneJob = false;
};

// What the print dialog shows and answers.
struct TPrintDialogRequest {
    int Copies = 1;
    int MinPage = 1, MaxPage = 1; // the pages there are
    int FromPage = 1, ToPage = 1; // the range offered, and the one chosen
    bool PageRange = false;       // answer: a range was chosen (else all pages)
};

// The print and printer-setup dialogs, so that commands can be tested without a modal window.
// The printer takes what the operator chose (printer, orientation, paper, file).
class IPrintDialogs {
public:
    virtual ~IPrintDialogs() = default;
    // False when cancelled.
    virtual bool ExecPrint(TPrintDialogRequest& request) = 0;
    virtual bool ExecPageSetup() = 0;
};

// Qt's dialogs on a TQtPrinter. A "print to file" chosen in the print dialog holds for the job
// that follows only.
class TQtPrintDialogs : public IPrintDialogs {
public:
    explicit TQtPrintDialogs(TQtPrinter& printer, QWidget* parent = nullptr)
        : m_printer(printer), m_parent(parent) {}
    bool ExecPrint(TPrintDialogRequest& request) override;
    bool ExecPageSetup() override;

private:
    TQtPrinter& m_printer;
    QWidget* m_parent;
};

} // namespace lv

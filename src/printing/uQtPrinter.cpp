#include "printing/uQtPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryFile>

#include <cstdio>

#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "printing/PaperCodes.h"

namespace lv {

namespace {

QPageLayout::Orientation qtOrientation(TPrintOrientation o) {
    return o == TPrintOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

} // namespace

TQtPrinter::TQtPrinter() : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

TQtPrinter::TQtPrinter(const QString& pdfFileName) : TQtPrinter() {
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setOutputFileName(pdfFileName);
}

TQtPrinter::~TQtPrinter() {
    Abort();
}

bool TQtPrinter::CanCopy() const {
    return m_printer->supportsMultipleCopies();
}

bool TQtPrinter::SetCopies(int copies) {
    if (!m_printer->isValid()) return false;
    m_printer->setCopyCount(copies);
    return m_printer->copyCount() == copies;
}

bool TQtPrinter::CanOrient() const {
    return m_printer->isValid();
}

std::optional<TPrintOrientation> TQtPrinter::Orientation() const {
    if (!m_printer->isValid()) return std::nullopt;
    return m_printer->pageLayout().orientation() == QPageLayout::Landscape ? TPrintOrientation::Landscape
                                                                           : TPrintOrientation::Portrait;
}

bool TQtPrinter::SetOrientation(TPrintOrientation orientation) {
    return m_printer->isValid() && !m_painter.isActive() &&
           m_printer->setPageOrientation(qtOrientation(orientation));
}

int TQtPrinter::PaperSize() const {
    return m_printer->isValid() ? GetPrinterPaperSize(*m_printer) : 0;
}

bool TQtPrinter::SetPaperSize(int code) {
    return !m_painter.isActive() && SetPrinterPaperSize(*m_printer, code);
}

QPainter* TQtPrinter::BeginDoc(const QString& title) {
    if (m_painter.isActive() || !m_printer->isValid()) return nullptr;
    // Nowhere to print: a begin that fails would leave the QPrinter refusing every later change.
    if (m_printer->outputFileName().isEmpty() &&
        (m_printer->outputFormat() == QPrinter::PdfFormat || m_printer->printerName().isEmpty()))
        return nullptr;
    m_printer->setDocName(title);
    m_target = m_printer->outputFileName();
    if (!m_target.isEmpty()) {
        const QFileInfo target(m_target);
        QTemporaryFile temp(
            target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.pdf").arg(target.fileName())));
        temp.setAutoRemove(false);
        if (!temp.open()) {
            m_target.clear();
            throw EFileError(
                FormatS(kMsgCannotSaveFile, QDir::toNativeSeparators(target.filePath()).toStdString()));
        }
        m_temp = temp.fileName();
        temp.close();
        m_printer->setOutputFileName(m_temp);
    }
    m_savedResolution = m_printer->resolution();
    m_printer->setResolution(PictureResolution());
    if (!m_painter.begin(m_printer.get())) {
        endJob();
        renew();
        return nullptr;
    }
    return &m_painter;
}

QSize TQtPrinter::PageSize() const {
    return {m_printer->width(), m_printer->height()};
}

QPoint TQtPrinter::PrintingOffset() const {
    return m_printer->pageLayout().paintRectPixels(m_printer->resolution()).topLeft();
}

bool TQtPrinter::NewPage() {
    return m_painter.isActive() && m_printer->newPage();
}

bool TQtPrinter::EndDoc() {
    if (!m_painter.isActive()) return false;
    bool ok = m_painter.end() && m_printer->printerState() != QPrinter::Error;
    if (!m_temp.isEmpty()) {
        // The new file takes the old one's place in one step.
        ok = ok &&
             std::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) == 0;
        if (ok) m_temp.clear();
    }
    endJob();
    return ok;
}

void TQtPrinter::Abort() {
    if (!m_painter.isActive()) return;
    // A PDF printer cannot abort: its output goes with the temporary file.
    m_printer->abort();
    m_painter.end();
    endJob();
}

void TQtPrinter::renew() {
    // After a failed begin a QPrinter takes no setting any more: a fresh one takes its place.
    auto fresh = std::make_unique<QPrinter>(QPrinter::HighResolution);
    fresh->setPrinterName(m_printer->printerName());
    fresh->setOutputFormat(m_printer->outputFormat());
    fresh->setOutputFileName(m_printer->outputFileName());
    fresh->setPageLayout(m_printer->pageLayout());
    fresh->setCopyCount(m_printer->copyCount());
    fresh->setResolution(m_printer->resolution());
    m_printer = std::move(fresh);
}

void TQtPrinter::endJob() {
    m_printer->setResolution(m_savedResolution > 0 ? m_savedResolution : m_printer->resolution());
    if (!m_temp.isEmpty()) {
        QFile::remove(m_temp);
        m_temp.clear();
    }
    if (!m_target.isEmpty()) m_printer->setOutputFileName(m_target);
    m_target.clear();
    if (m_fileForOneJob) {
        m_fileForOneJob = false;
        m_printer->setOutputFileName(QString());
        m_printer->setOutputFormat(QPrinter::NativeFormat);
    }
}

// --- dialogs ------------------------------------------------------------------------------------

bool TQtPrintDialogs::ExecPrint(TPrintDialogRequest& request) {
    QPrinter& printer = m_printer.Printer();
    QPrintDialog dialog(&printer, m_parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setMinMax(request.MinPage, request.MaxPage);
    printer.setFromTo(request.FromPage, request.ToPage);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setCopyCount(request.Copies);
    if (dialog.exec() != QDialog::Accepted) return false;
    request.Copies = printer.copyCount();
    request.PageRange = printer.printRange() == QPrinter::PageRange;
    if (request.PageRange) {
        request.FromPage = printer.fromPage();
        request.ToPage = printer.toPage();
    }
    if (!printer.outputFileName().isEmpty()) m_printer.SetOutputFileForOneJob();
    return true;
}

bool TQtPrintDialogs::ExecPageSetup() {
    QPageSetupDialog dialog(&m_printer.Printer(), m_parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace lv

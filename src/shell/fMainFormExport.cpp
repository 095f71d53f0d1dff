// The export command of the main window, "Экспорт...": the active trace's printed page or the
// window as shown, written as a picture file.

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>

#include "display/uGraphsCmps.h"
#include "printing/uPictureFiles.h"
#include "shell/fExportForm.h"
#include "shell/fMainForm.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"

namespace lv {

void TMainForm::ExportCommand() {
    if (!ActiveTrace()) return;
    if (!m_exportForm) m_exportForm = new TExportForm(this);
    m_exportForm->SetFolder(DataFolder());
    if (m_exportForm->exec() != QDialog::Accepted) return;
    const TExportTarget target = m_exportForm->Target();
    if (QFileInfo::exists(target.FileName) &&
        MessageDlg(FormatS(kMsgExportFileExists, target.FileName.toStdString()), TMsgDlgType::mtConfirmation,
                   mbYes | mbNo) != mrYes)
        return;
    ExportPicture(target.FileName, target.Kind, m_exportForm->ExportObject() == 1);
    MessageDlg(kMsgExportDone, TMsgDlgType::mtInformation, mbOK);
}

void TMainForm::ExportPicture(const QString& fileName, int kind, bool screenCopy) {
    if (screenCopy) {
        // The dialog goes from the screen first.
        QApplication::processEvents();
        WriteBitmapFile(grab().toImage(), fileName);
        return;
    }
    TMainDataItem* active = ActiveTrace();
    if (!active) return;
    MainGraph->PreparePrint({active});
    MainGraph->SavePicture(fileName, kind);
}

} // namespace lv

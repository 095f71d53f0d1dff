#pragma once
// The export dialog "Экспорт": what to export (a copy of the printed page or of the main window
// as shown) and the file name, with a browse button opening the save-picture dialog. The main
// window makes it once and reuses it, so that it keeps the last choice and name while the
// program runs.
//
// Picture kinds are those of graph printing (TPictureFormat): the bitmap and the metafile that
// the browse filter offers, and PDF, SVG and PNG for a name with that extension. The kind follows
// the typed extension when it names one, else the filter chosen when browsing.

#include <QDialog>
#include <QString>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace lv {

extern const char* const kExportDialogCaption; // "Экспорт"
extern const char* const kExportBrowseTitle;   // "Укажите файл для экспорта"
// "Растровые изображения (*.bmp)|*.bmp|Метафайлы (*.emf;*wmf)|*.emf;*.wmf|Все файлы (*.*)|*.*"
extern const char* const kExportFilter;
extern const char* const kMsgNoExportFileName;   // "Не указано имя файла для экспорта."
extern const char* const kMsgExportFileExists;   // "Файл %s существует.\r\nПерезаписать?"
extern const char* const kMsgExportDone;         // "Экспортирование завершено."

// Entries of kExportFilter, 1-based.
enum TExportFilter { efBitmap = 1, efMetafile = 2, efAll = 3 };

// The kind a browse filter stands for: the metafile for its entry, else the bitmap.
int PictureKindOfFilter(int filterIndex);

struct TExportTarget {
    QString FileName; // absolute
    int Kind = 1;     // TPictureFormat
    friend bool operator==(const TExportTarget&, const TExportTarget&) = default;
};

// The file and the kind a typed name and the filter chosen ask for: the kind of the name's
// extension when it names one, else the filter's; a name without an extension gets its kind's
// (".emf" for metafiles, ".bmp" for bitmaps). A relative name lies in `folder` (the working
// folder when empty).
TExportTarget ExportTarget(const QString& name, int filterIndex, const QString& folder);

class TExportForm : public QDialog {
    Q_OBJECT
public:
    explicit TExportForm(QWidget* parent = nullptr);

    // 0 "Копия распечатки" (initially), 1 "Копия экранной формы".
    int ExportObject() const;
    void SetExportObject(int index);
    QString FileName() const;
    void SetFileName(const QString& name);
    // The filter last chosen in the browse dialog (efBitmap until one is chosen).
    int FilterIndex() const { return m_filterIndex; }
    // Where relative names lie and browsing starts without a name (the data folder).
    void SetFolder(const QString& folder) { m_folder = folder; }
    // The file and kind the dialog asks for.
    TExportTarget Target() const;

    QGroupBox* RadioGroup1() const { return m_group; }
    QLineEdit* FilenameEdit1() const { return m_fileName; }
    QToolButton* BrowseBtn() const { return m_browse; }
    QPushButton* OkBtn() const { return m_ok; }
    QPushButton* CancelBtn() const { return m_cancel; }

    // The browse button: the save-picture dialog proposing the current name.
    void Browse();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void okClicked();

    QGroupBox* m_group = nullptr;
    QRadioButton* m_printCopy = nullptr;
    QRadioButton* m_screenCopy = nullptr;
    QLineEdit* m_fileName = nullptr;
    QToolButton* m_browse = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_filterIndex = efBitmap;
    QString m_folder;
};

} // namespace lv

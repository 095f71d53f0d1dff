#pragma once
// The prompt service of the windowed program: message boxes on QMessageBox with Russian button
// texts, file and folder dialogs on QFileDialog. Everything the shell shows as a message goes
// through lv::Prompts(), so tests replace this service with a scripted one.

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "trace/PromptService.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace lv {

class TQtPromptService : public IPromptService {
public:
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                   int helpContext) override;
    int ChoiceDlg(const TChoiceRequest& request) override;
    bool FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) override;
    bool FileDialogWithFilter(const TFileDialogRequest& request, std::vector<std::string>& files,
                              int& filterIndex) override;
};

// The box MessageDlg shows, not yet run. Each button carries its TModalResult in the dynamic
// property "modalResult"; the help button carries mrNone. "\r\n" in the text becomes a line break.
std::unique_ptr<QMessageBox> CreateMessageBox(const std::string& text, TMsgDlgType type,
                                              TMsgDlgButtons buttons, QWidget* parent = nullptr);

// The box ChoiceDlg shows, not yet run: the buttons in the request's order, each carrying its
// index in the dynamic property "modalResult", the default and the escape button as requested.
std::unique_ptr<QMessageBox> CreateChoiceBox(const TChoiceRequest& request, QWidget* parent = nullptr);

// Qt's name filters for a filter in the "Description|*.a;*.b|..." form: "Description (*.a *.b)".
// "*.*" becomes "*" (on Linux "*.*" would hide names without a dot); entries without a pattern
// are dropped.
QStringList QtNameFilters(const std::string& filter);

// Sizes as the operator's file lists show them: "1 байт", "3 байта", "5 байт", "2,00 КБ",
// "4,77 МБ", with the locale's decimal separator.
QString RussianDataSize(qint64 bytes);

// The entry of a "Description|*.a;*.b|..." filter (1-based) that Qt's name filter `chosen` stands
// for; 0 when none does.
int FilterIndexOf(const std::string& filter, const QString& chosen);

// Sets up `dialog` as the request asks (title, folder, proposed name, filter and its 1-based
// index, default extension, overwrite question, single, several or folder choice). Always Qt's
// own dialog, whose texts, dates and sizes are Russian whatever the desktop's language: the
// file sizes through a model that writes them as RussianDataSize does.
void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogRequest& request);

// The window a modal box should be centred on: the active modal window, else the active window.
QWidget* DialogParent();

} // namespace lv

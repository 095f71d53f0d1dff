#pragma once
// Small shared services of the shell: colour and weekday names, the check of a just-saved file,
// the file and folder dialogs, the modal progress window, and value helpers on Qt types. The
// helpers that need no Qt (real rectangles, mantissa split, character counts, variant checks) live
// in the core and are included here for convenience; the paper codes live in printing/.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

#include "trace/PromptService.h"
#include "trace/RealRect.h"
#include "trace/ValueHelpers.h"

class QFont;
class QWidget;

namespace lv {

// The name of a colour ($00BBGGRR, or $80000000 plus a system colour index) from the colour-name
// table; "$" and 8 lower-case hex digits for any other value.
QString ColorName(uint32_t color);

// The weekday for `day` mod 7: 1 Sunday … 6 Friday, 0 Saturday; empty for a negative remainder.
QString WeekdayName(int day);

// Checks a file just written: it exists, has at least 1024 bytes and not only zero bytes.
// Otherwise shows the matching error (OK button) and answers false. An empty name passes.
bool CheckSavedFile(const QString& fileName);

// The proposed name of a file dialog with "/" removed from the file name only: a leading
// `initialDir` (or, for an absolute path, everything up to its last "/") is kept as the folder.
// The name is trimmed of blanks.
QString MendProposedFileName(const QString& proposed, const QString& initialDir);

// Runs an open or save dialog through the prompt service. The request's FileName is the proposed
// name (mended as above). On confirmation answers true with `fileName` (and, when given, `files`:
// every chosen name, and `filterIndex`: the filter chosen, 1-based). A failing dialog is a cancel
// unless `raiseErrors` is set.
bool RunFileDialog(const TFileDialogRequest& request, bool raiseErrors, QString& fileName,
                   QStringList* files = nullptr, int* filterIndex = nullptr);

// A folder chooser. `folder` is the start folder on entry and the chosen one, ending with "/",
// on a true answer. The title defaults to "Выбор папки"; `filter` ("Папки|*.tra;*.sor") shows
// files for orientation, without one only folders are shown.
bool ChooseFolder(const QString& title, int helpContext, QString& folder, const QString& filter = {});

class TDirChooser {
public:
    QString Title;
    int HelpContext = 0;
    QString Filter;
    QString Folder; // start folder; after Execute the chosen one, ending with "/"
    bool Execute() { return ChooseFolder(Title, HelpContext, Folder, Filter); }
};

// Shows the modal progress window with `caption` and `message`, runs `operation` on the GUI
// thread once the window is on screen, and closes the window when it returns. Without a
// `cancelHandler` there is no Cancel button; with one, Cancel (and Escape) call it, and the
// operation is expected to let events through (QCoreApplication::processEvents) to see them.
// An exception of the operation closes the window and is raised again here.
void RunIndicated(const QString& caption, const QString& message, const std::function<void()>& cancelHandler,
                  const std::function<void()>& operation);

// Both absent, or the same family, size, weight and style. (Qt fonts carry no colour; the
// graph keeps font colours beside its fonts.)
bool SameFont(const QFont* a, const QFont* b);

inline bool PointsDiffer(const QPoint& p, const QPoint& q) {
    return p != q;
}

// The rectangle with its corner coordinates swapped where needed so left <= right and top <= bottom.
QRect NormalizeRect(const QRect& r);

// A modal input box with `caption`, `prompt` and an edit holding `value`. OK answers true with the
// edit's text in `value`; Cancel answers false and leaves `value` as it was.
bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent = nullptr);

// The about box "О программе".
void ShowAboutBox(QWidget* parent = nullptr);

} // namespace lv

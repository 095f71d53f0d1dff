#include "shell/Commonun.h"

#include <QDir>
#include <QFont>
#include <QInputDialog>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "formats/SafeFile.h"
#include "shell/fAboutForm.h"
#include "shell/fIndicateOperation.h"
#include "shell/uQtPrompts.h"

namespace lv {

namespace {

struct TColorEntry {
    uint32_t Value;
    const char* Name;
};

const TColorEntry kColors[] = {
    {0x000000, "Черный"},       {0x000080, "Бордовый"},   {0x008000, "Зеленый"},     {0x008080, "Защитный"},
    {0x800000, "Синий(тмн)"},   {0x800080, "Фиолетовый"}, {0x808000, "Глб-зел"},     {0x808080, "Серый"},
    {0xC0C0C0, "Серебряный"},   {0x0000FF, "Красный"},    {0x00FF00, "Известковый"}, {0x00FFFF, "Желтый"},
    {0xFF0000, "Синий"},        {0xFF00FF, "Розовый"},    {0xFFFF00, "Голубой"},     {0xFFFFFF, "Белый"},
    {0x1FFFFFFF, "Бесцветный"}, {0x4080FF, "Оранжевый"},  {0x456BBA, "Коричневый"},
};

// The platform's system colours 0x80000000 + index.
const char* const kSystemColors[] = {
    "clScrollBar",    "clBackground",     "clActiveCaption", "clInactiveCaption", "clMenu",
    "clWindow",       "clWindowFrame",    "clMenuText",      "clWindowText",      "clCaptionText",
    "clActiveBorder", "clInactiveBorder", "clAppWorkSpace",  "clHighlight",       "clHighlightText",
    "clBtnFace",      "clBtnShadow",      "clGrayText",      "clBtnText",         "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow",     "cl3DLight",       "clInfoText",        "clInfoBk",
};

const char* const kWeekdays[] = {"Суббота", "Воскресенье", "Понедельник", "Вторник",
                                 "Среда",   "Четверг",     "Пятница"};

QString shownName(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

} // namespace

QString ColorName(uint32_t color) {
    for (const TColorEntry& e : kColors)
        if (e.Value == color) return QString::fromUtf8(e.Name);
    if (color >= 0x80000000u && color - 0x80000000u < std::size(kSystemColors))
        return QString::fromLatin1(kSystemColors[color - 0x80000000u]);
    return QStringLiteral("$") + QStringLiteral("%1").arg(color, 8, 16, QLatin1Char('0'));
}

QString WeekdayName(int day) {
    const int r = day % 7; // truncating: a negative day gives a negative remainder
    if (r < 0) return {};
    return QString::fromUtf8(kWeekdays[r]);
}

bool CheckSavedFile(const QString& fileName) {
    if (fileName.isEmpty()) return true;
    const std::string message = SavedFileProblem(fileName.toStdString(), shownName(fileName).toStdString());
    if (message.empty()) return true;
    MessageDlg(message, TMsgDlgType::mtError, mbOK, 0);
    return false;
}

QString MendProposedFileName(const QString& proposed, const QString& initialDir) {
    QString folder;
    QString name = proposed;
    QString dir = initialDir;
    if (!dir.isEmpty() && !dir.endsWith(u'/')) dir += u'/';
    if (!dir.isEmpty() && name.startsWith(dir)) {
        folder = dir;
        name = name.mid(dir.size());
    } else if (name.startsWith(u'/')) {
        const qsizetype slash = name.lastIndexOf(u'/');
        folder = name.left(slash + 1);
        name = name.mid(slash + 1);
    }
    name.remove(u'/');
    return folder + name.trimmed();
}

bool RunFileDialog(const TFileDialogRequest& request, bool raiseErrors, QString& fileName,
                   QStringList* files, int* filterIndex) {
    TFileDialogRequest r = request;
    r.FileName = MendProposedFileName(QString::fromStdString(request.FileName),
                                      QString::fromStdString(request.InitialDir))
                     .toStdString();
    std::vector<std::string> chosen;
    bool ok = false;
    try {
        int chosenFilter = r.FilterIndex;
        ok = Prompts().FileDialogWithFilter(r, chosen, chosenFilter);
        if (ok && filterIndex) *filterIndex = chosenFilter;
    } catch (...) {
        if (raiseErrors) throw;
        ok = false;
    }
    fileName.clear();
    if (files) files->clear();
    if (!ok || chosen.empty()) return false;
    fileName = QString::fromStdString(chosen.front());
    if (files)
        for (const std::string& f : chosen)
            files->append(QString::fromStdString(f));
    return true;
}

bool ChooseFolder(const QString& title, int helpContext, QString& folder, const QString& filter) {
    TFileDialogRequest r;
    r.SelectFolder = true;
    r.Title = (title.isEmpty() ? QStringLiteral("Выбор папки") : title).toStdString();
    r.Filter = (filter.isEmpty() ? QStringLiteral("Папки| ") : filter).toStdString();
    r.InitialDir = folder.toStdString();
    r.HelpButton = helpContext != 0;
    std::vector<std::string> chosen;
    if (!Prompts().FileDialog(r, chosen) || chosen.empty() || chosen.front().empty()) return false;
    QString f = QString::fromStdString(chosen.front());
    if (!f.endsWith(u'/')) f += u'/';
    folder = f;
    return true;
}

void RunIndicated(const QString& caption, const QString& message, const std::function<void()>& cancelHandler,
                  const std::function<void()>& operation) {
    TIndicateOperationForm form(caption, message, cancelHandler, operation, DialogParent());
    form.exec();
    if (form.Failure()) std::rethrow_exception(form.Failure());
}

bool SameFont(const QFont* a, const QFont* b) {
    if (!a || !b) return !a && !b;
    return a->family() == b->family() && a->pointSizeF() == b->pointSizeF() &&
           a->pixelSize() == b->pixelSize() && a->weight() == b->weight() && a->italic() == b->italic() &&
           a->underline() == b->underline() && a->strikeOut() == b->strikeOut() &&
           a->stretch() == b->stretch();
}

QRect NormalizeRect(const QRect& r) {
    const int l = std::min(r.left(), r.right());
    const int rt = std::max(r.left(), r.right());
    const int t = std::min(r.top(), r.bottom());
    const int b = std::max(r.top(), r.bottom());
    return QRect(QPoint(l, t), QPoint(rt, b));
}

void ShowAboutBox(QWidget* parent) {
    TAboutForm form(parent ? parent : DialogParent());
    form.exec();
}

bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
    QInputDialog box(parent ? parent : DialogParent());
    box.setObjectName(QStringLiteral("InputQuery"));
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(value);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Отмена"));
    box.setInputMode(QInputDialog::TextInput);
    if (box.exec() != QDialog::Accepted) return false;
    value = box.textValue();
    return true;
}

} // namespace lv

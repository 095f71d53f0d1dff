#include "shell/uQtPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "shell/uHelpViewer.h"

#include <algorithm>
#include <iterator>

namespace lv {

namespace {

const char* const kResultProperty = "modalResult";

struct TButtonDef {
    TMsgDlgBtn Button;
    const char* Text;
    QMessageBox::ButtonRole Role;
    int Result;
};

// In the order the buttons are declared; QMessageBox then places them by role as the platform does.
const TButtonDef kButtons[] = {
    {mbYes, "Да", QMessageBox::YesRole, mrYes},
    {mbNo, "Нет", QMessageBox::NoRole, mrNo},
    {mbOK, "OK", QMessageBox::AcceptRole, mrOk},
    {mbCancel, "Отмена", QMessageBox::RejectRole, mrCancel},
    {mbAbort, "Прервать", QMessageBox::RejectRole, mrAbort},
    {mbRetry, "Повторить", QMessageBox::AcceptRole, mrRetry},
    {mbIgnore, "Пропустить", QMessageBox::AcceptRole, mrIgnore},
    {mbAll, "Все", QMessageBox::YesRole, mrAll},
    {mbNoToAll, "Нет для всех", QMessageBox::NoRole, mrNoToAll},
    {mbYesToAll, "Да для всех", QMessageBox::YesRole, mrYesToAll},
    {mbHelp, "Справка", QMessageBox::HelpRole, mrNone},
};

QString boxTitle(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QStringLiteral("Предупреждение");
    case TMsgDlgType::mtError:
        return QStringLiteral("Ошибка");
    case TMsgDlgType::mtInformation:
        return QStringLiteral("Информация");
    case TMsgDlgType::mtConfirmation:
        return QStringLiteral("Подтверждение");
    case TMsgDlgType::mtCustom:
        break;
    }
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Lumvaris") : name;
}

QMessageBox::Icon boxIcon(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

QString stripParenthesis(QString desc) {
    desc = desc.trimmed();
    if (desc.endsWith(u')')) {
        const qsizetype open = desc.lastIndexOf(u'(');
        if (open > 0) desc = desc.left(open).trimmed();
    }
    return desc;
}

// The file dialog's list with its size column in Russian units (Qt writes "KiB" in every
// language).
class TRussianSizes : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole && index.column() == kSizeColumn) {
            if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel())) {
                const QModelIndex source = mapToSource(index);
                if (!files->isDir(source)) return RussianDataSize(files->size(source));
            }
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kSizeColumn = 1;
};

} // namespace

QString RussianDataSize(qint64 bytes) {
    if (bytes < 1024) {
        const qint64 n = std::max<qint64>(bytes, 0);
        const qint64 tens = n % 100, ones = n % 10;
        // 1, 21 байт; 2..4, 22..24 байта; 5..20 байт.
        const bool few = ones >= 2 && ones <= 4 && !(tens >= 12 && tens <= 14);
        const char* word = few ? "байта" : "байт";
        return QString::number(n) + u' ' + QString::fromUtf8(word);
    }
    const char* const units[] = {"КБ", "МБ", "ГБ", "ТБ"};
    double value = double(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    return QLocale().toString(value, 'f', 2) + u' ' + QString::fromUtf8(units[unit]);
}

std::unique_ptr<QMessageBox> CreateMessageBox(const std::string& text, TMsgDlgType type,
                                              TMsgDlgButtons buttons, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(boxTitle(type));
    box->setIcon(boxIcon(type));
    box->setTextFormat(Qt::PlainText); // file names may hold "<" and "&"
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setText(shown);

    if ((buttons & ~static_cast<TMsgDlgButtons>(mbHelp)) == 0) buttons |= mbOK;
    QPushButton* ok = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* retry = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* no = nullptr;
    for (const TButtonDef& def : kButtons) {
        if (!(buttons & def.Button)) continue;
        QPushButton* b = box->addButton(QString::fromUtf8(def.Text), def.Role);
        b->setProperty(kResultProperty, def.Result);
        if (def.Button == mbOK) ok = b;
        if (def.Button == mbYes) yes = b;
        if (def.Button == mbRetry) retry = b;
        if (def.Button == mbCancel) cancel = b;
        if (def.Button == mbNo) no = b;
    }
    // Default: OK, else Yes, else Retry. Escape: Cancel, else No, else OK.
    if (QPushButton* def = ok ? ok : yes ? yes : retry) box->setDefaultButton(def);
    if (QPushButton* esc = cancel ? cancel : no ? no : ok) box->setEscapeButton(esc);
    return box;
}

int TQtPromptService::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                 int helpContext) {
    auto box = CreateMessageBox(text, type, buttons, DialogParent());
    for (;;) {
        box->exec();
        QAbstractButton* clicked = box->clickedButton();
        if (!clicked) return mrCancel;
        const int result = clicked->property(kResultProperty).toInt();
        if (result != mrNone) return result;
        // Help: the box must keep its question open, so the help is shown modally over it
        // and the box comes back when the help window is closed.
        ShowHelpForContext(helpContext, true);
    }
}

std::unique_ptr<QMessageBox> CreateChoiceBox(const TChoiceRequest& request, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(boxTitle(request.Type));
    box->setIcon(boxIcon(request.Type));
    box->setTextFormat(Qt::PlainText);
    QString shown = QString::fromStdString(request.Text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setText(shown);
    for (size_t i = 0; i < request.Buttons.size(); ++i) {
        const int index = static_cast<int>(i);
        // The cancel button is the box's reject; the others keep the order they were given in.
        QPushButton* b =
            box->addButton(QString::fromStdString(request.Buttons[i]),
                           index == request.CancelButton ? QMessageBox::RejectRole : QMessageBox::ActionRole);
        b->setProperty(kResultProperty, index);
        if (index == request.DefaultButton) box->setDefaultButton(b);
        if (index == request.CancelButton) box->setEscapeButton(b);
    }
    return box;
}

int TQtPromptService::ChoiceDlg(const TChoiceRequest& request) {
    auto box = CreateChoiceBox(request, DialogParent());
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    return clicked ? clicked->property(kResultProperty).toInt() : request.CancelButton;
}

namespace {

// Qt's name filters of a filter, each with its entry's number (1-based).
std::vector<std::pair<QString, int>> numberedNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    std::vector<std::pair<QString, int>> out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t.isEmpty()) continue;
            patterns << (t == QStringLiteral("*.*") ? QStringLiteral("*") : t);
        }
        if (patterns.isEmpty()) continue;
        // A description that already names its patterns in parentheses gets the real ones.
        out.emplace_back(stripParenthesis(parts[i]) + QStringLiteral(" (") + patterns.join(u' ') + u')',
                         int(i / 2 + 1));
    }
    return out;
}

} // namespace

QStringList QtNameFilters(const std::string& filter) {
    QStringList out;
    for (const auto& [name, entry] : numberedNameFilters(filter))
        out << name;
    return out;
}

int FilterIndexOf(const std::string& filter, const QString& chosen) {
    for (const auto& [name, entry] : numberedNameFilters(filter))
        if (name == chosen) return entry;
    return 0;
}

void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogRequest& r) {
    dialog.setWindowTitle(QString::fromStdString(r.Title));
    // The desktop's own dialog would speak the desktop's language, which may be none at all.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!dialog.proxyModel()) dialog.setProxyModel(new TRussianSizes(&dialog));
    const QStringList filters = QtNameFilters(r.Filter);
    if (r.SelectFolder) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        if (filters.isEmpty()) {
            dialog.setOption(QFileDialog::ShowDirsOnly, true);
        } else {
            // Trace files are shown for orientation only.
            dialog.setOption(QFileDialog::ShowDirsOnly, false);
            dialog.setNameFilters(filters);
        }
    } else {
        dialog.setAcceptMode(r.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (r.Save)
            dialog.setFileMode(QFileDialog::AnyFile);
        else if (r.AllowMultiSelect)
            dialog.setFileMode(QFileDialog::ExistingFiles);
        else
            dialog.setFileMode(r.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            QString selected = filters.front();
            for (const auto& [name, entry] : numberedNameFilters(r.Filter))
                if (entry == r.FilterIndex) selected = name;
            dialog.selectNameFilter(selected);
        }
        QString ext = QString::fromStdString(r.DefaultExt);
        while (ext.startsWith(u'.'))
            ext.remove(0, 1);
        dialog.setDefaultSuffix(ext);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.OverwritePrompt);
    }
    // Always a folder of the request's own: left unset, Qt would start where the last dialog of
    // any kind ended.
    dialog.setDirectory(r.InitialDir.empty() ? QDir::currentPath() : QString::fromStdString(r.InitialDir));
    if (!r.FileName.empty() && !r.SelectFolder) dialog.selectFile(QString::fromStdString(r.FileName));
}

bool TQtPromptService::FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) {
    int filterIndex = 0;
    return FileDialogWithFilter(request, files, filterIndex);
}

bool TQtPromptService::FileDialogWithFilter(const TFileDialogRequest& request, std::vector<std::string>& files,
                                            int& filterIndex) {
    files.clear();
    filterIndex = request.FilterIndex;
    QFileDialog dialog(DialogParent());
    ConfigureFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return false;
    for (const QString& f : dialog.selectedFiles())
        files.push_back(f.toStdString());
    if (const int chosen = FilterIndexOf(request.Filter, dialog.selectedNameFilter())) filterIndex = chosen;
    return !files.empty();
}

QWidget* DialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

} // namespace lv

#include "shell/uTraceNames.h"

#include <QDir>
#include <QFileInfo>

#include "trace/Numeric.h"

namespace lv {

const char* const kNoNameCaption = "Без имени";

bool IsTitleRemovedChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 32) return true;
    switch (u) {
    case u'"':
    case u'%':
    case u'\'':
    case u',':
    case u'.':
    case u'/':
    case u'\\':
    case u'`':
    case u'{':
    case u'ї':
        return true;
    default:
        return u >= u':' && u <= u'@';
    }
}

QString CleanTitle(const QString& answer) {
    QString out;
    for (QChar c : answer.left(kTitleMaxLength))
        if (!IsTitleRemovedChar(c)) out += c;
    return out;
}

QString WavelengthCode(double waveLengthUm) {
    const auto code = RoundToInt64(waveLengthUm * 100.0);
    if (!code || *code <= 0) return {};
    return QString::number(*code);
}

QString SafeNamePart(const QString& caption) {
    QString out;
    for (QChar c : caption)
        if (!IsTitleRemovedChar(c) && c != u'*' && c != u'|') out += c;
    // The removal set takes every dot, so no name part starts with one.
    out = out.trimmed();
    return out.isEmpty() ? QString::fromUtf8(kNoNameCaption) : out;
}

QString SuggestedSaveName(const QString& caption, double waveLengthUm) {
    return SafeNamePart(caption) + u'(' + WavelengthCode(waveLengthUm) + u')';
}

QString FolderWithSeparator(const QString& folder) {
    QString f = folder;
    f.replace(u'\\', u'/');
    if (!f.isEmpty() && !f.endsWith(u'/')) f += u'/';
    return f;
}

QString DataFolderName(const QString& folder, const QString& caption, double waveLengthUm) {
    return FolderWithSeparator(folder) + SuggestedSaveName(caption, waveLengthUm) + QStringLiteral(".tra");
}

bool LiesDirectlyIn(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty()) return false;
    const QString dir = QDir::cleanPath(QDir(folder).absolutePath());
    const QString parent = QDir::cleanPath(QFileInfo(path).absolutePath());
    return dir == parent;
}

} // namespace lv

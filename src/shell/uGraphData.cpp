#include "shell/uGraphData.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QRegularExpression>
#include <QStandardPaths>

#include <limits>

#include "formats/SafeFile.h"
#include "shell/uMainSettings.h"
#include "trace/Errors.h"

namespace lv {

const char* const kGraphDataFileName = "MainGraphData.dat";

namespace {

const char* const kVersionKey = "LumvarisGraphData";

QString escapeText(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString unescapeText(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c != u'\\' || i + 1 == s.size()) {
            out += c;
            continue;
        }
        const QChar n = s[++i];
        out += n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
    }
    return out;
}

bool validName(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.]*$"));
    return re.match(name).hasMatch();
}

// "kind:payload" for a value, or an empty string for a kind the file cannot hold.
QString encodeValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return QStringLiteral("bool:") + (v.toBool() ? u'1' : u'0');
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return QStringLiteral("int:") + QString::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return QStringLiteral("int:") + QString::number(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("real:") + QString::number(v.toDouble(), 'g', 17);
    case QMetaType::QString:
        return QStringLiteral("text:") + escapeText(v.toString());
    case QMetaType::QFont:
        return QStringLiteral("font:") + v.value<QFont>().toString();
    case QMetaType::QColor:
        return QStringLiteral("color:") + v.value<QColor>().name(QColor::HexArgb);
    default:
        return {};
    }
}

QVariant decodeValue(const QString& encoded) {
    const qsizetype colon = encoded.indexOf(u':');
    if (colon < 0) return {};
    const QString kind = encoded.left(colon);
    const QString payload = encoded.mid(colon + 1);
    bool ok = false;
    if (kind == QLatin1String("bool")) {
        if (payload == u"0") return false;
        if (payload == u"1") return true;
        return {};
    }
    if (kind == QLatin1String("int")) {
        const qlonglong n = payload.toLongLong(&ok);
        if (ok) {
            if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
                return QVariant(static_cast<int>(n));
            return QVariant(n);
        }
        const qulonglong u = payload.toULongLong(&ok);
        return ok ? QVariant(u) : QVariant();
    }
    if (kind == QLatin1String("real")) {
        const double d = payload.toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }
    if (kind == QLatin1String("text")) return unescapeText(payload);
    if (kind == QLatin1String("font")) {
        QFont f;
        return !payload.isEmpty() && f.fromString(payload) ? QVariant(f) : QVariant();
    }
    if (kind == QLatin1String("color")) {
        const QColor c = QColor::fromString(payload);
        return c.isValid() ? QVariant(c) : QVariant();
    }
    return {};
}

} // namespace

QString MainGraphDataPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QString::fromLatin1(kSettingsOrganization) + u'/' + QString::fromLatin1(kSettingsApplication) + u'/' +
           QString::fromLatin1(kGraphDataFileName);
}

QByteArray EncodeGraphData(const QVariantMap& properties) {
    QString text = QStringLiteral("# Lumvaris: свойства отображения основного графика\n");
    text += QString::fromLatin1(kVersionKey) + u'=' + QString::number(kGraphDataVersion) + u'\n';
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (!validName(it.key()))
            throw EConvertError("Недопустимое имя свойства графика: " + it.key().toStdString());
        const QString value = encodeValue(it.value());
        if (value.isEmpty())
            throw EConvertError("Свойство графика " + it.key().toStdString() + " нельзя сохранить");
        text += it.key() + u'=' + value + u'\n';
    }
    return text.toUtf8();
}

QVariantMap DecodeGraphData(const QByteArray& bytes) {
    QVariantMap out;
    bool versionSeen = false;
    for (const QString& raw : QString::fromUtf8(bytes).split(u'\n')) {
        QString line = raw;
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#')) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            if (!versionSeen) return {};
            continue;
        }
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1);
        if (!versionSeen) {
            // The first entry must say what the file is and which version wrote it.
            bool ok = false;
            if (name != QLatin1String(kVersionKey) || value.trimmed().toInt(&ok) != kGraphDataVersion || !ok)
                return {};
            versionSeen = true;
            continue;
        }
        if (!validName(name)) continue;
        const QVariant v = decodeValue(value);
        if (v.isValid()) out.insert(name, v);
    }
    return out;
}

void WriteGraphDataFile(const QString& path, const QVariantMap& properties) {
    const QByteArray bytes = EncodeGraphData(properties);
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteFileReplacing(QFile::encodeName(path).toStdString(),
                       std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

QVariantMap ReadGraphDataFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    // A display-properties file is a few kilobytes; anything huge is not ours.
    if (f.size() > 4 * 1024 * 1024) return {};
    return DecodeGraphData(f.readAll());
}

void SaveMainGraphData(const IPersistentGraph& graph, const QString& path) {
    WriteGraphDataFile(path, graph.PersistentProperties());
}

int LoadMainGraphData(IPersistentGraph& graph, const QString& path) {
    const QVariantMap props = ReadGraphDataFile(path);
    int applied = 0;
    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        try {
            if (graph.ApplyPersistentProperty(it.key(), it.value())) ++applied;
        } catch (const std::exception&) {
            // A value the graph's setter refuses is skipped like any other bad entry.
        }
    }
    return applied;
}

} // namespace lv

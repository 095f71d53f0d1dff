#include "shell/uMainSettings.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QToolBar>
#include <QWidget>

#include <algorithm>
#include <numeric>

#include "formats/ByteCursor.h"
#include "shell/uGraphData.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kSettingsOrganization = "Lumvaris";
const char* const kSettingsApplication = "V2.0";
const char* const kMainFormSection = "TMainForm";
const char* const kMsgSettingsSaveError =
    "Ошибка при записи настроек интерфейса.\r\n"
    "Если ошибка будет повторяться в дальнейшем, обратитесь к разработчику.";

std::unique_ptr<QSettings> OpenSettings() {
    return std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganization),
                                       QString::fromLatin1(kSettingsApplication));
}

// ---- text values ---------------------------------------------------------------------------------

namespace {

// A value as text. An INI value with unquoted commas (edited by hand) reads as a list.
QString textOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(u',');
    return v.toString();
}

std::optional<int> intOf(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return n;
}

// "%d,%d,%d,%d"
std::optional<std::array<int, 4>> fourInts(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) return std::nullopt;
    std::array<int, 4> out{};
    for (int i = 0; i < 4; ++i) {
        const auto n = intOf(parts[i]);
        if (!n) return std::nullopt;
        out[i] = *n;
    }
    return out;
}

QString fourText(int a, int b, int c, int d) {
    return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

} // namespace

int ReadIntValue(const QSettings& settings, const QString& name, int defaultValue) {
    return intOf(textOf(settings.value(name))).value_or(defaultValue);
}

bool ReadBoolValue(const QSettings& settings, const QString& name, bool defaultValue) {
    return ReadIntValue(settings, name, defaultValue ? 1 : 0) != 0;
}

QString ReadTextValue(const QSettings& settings, const QString& name, const QString& defaultValue) {
    const QVariant v = settings.value(name);
    return v.isValid() ? textOf(v) : defaultValue;
}

void WriteIntValue(QSettings& settings, const QString& name, int value) {
    settings.setValue(name, QString::number(value));
}

void WriteBoolValue(QSettings& settings, const QString& name, bool value) {
    settings.setValue(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// ---- main window values ------------------------------------------------------------------------------

namespace {
std::string readText(const QSettings& s, const char* name, const char* defaultValue = "") {
    return ReadTextValue(s, QString::fromLatin1(name), QString::fromUtf8(defaultValue)).toStdString();
}
void writeText(QSettings& s, const char* name, const std::string& value) {
    s.setValue(QString::fromLatin1(name), QString::fromStdString(value));
}
} // namespace

TMainSettings ReadMainSettings(QSettings& s, int clientHeight, const QString& section) {
    TMainSettings v;
    s.beginGroup(section);
    // A graph area of 0 or fewer pixels would hide the graph: treated like one too high.
    int graph = ReadIntValue(s, QStringLiteral("OldGraphPosY"), FittingGraphHeight(clientHeight));
    v.OldGraphPosY = graph <= 0 ? FittingGraphHeight(clientHeight) : ClampGraphHeight(graph, clientHeight);
    v.FullScreen = ReadBoolValue(s, QStringLiteral("FullScreen"), false);
    v.DoSaveAs = ReadBoolValue(s, QStringLiteral("DoSaveAs"), true);
    v.DataDir = readText(s, "DataDir");
    v.ShowSetNum = ReadBoolValue(s, QStringLiteral("ShowSetNum"), false);
    v.SetNum = readText(s, "SetNum");
    v.ShowWorkerNum = ReadBoolValue(s, QStringLiteral("ShowWorkerNum"), true);
    v.WorkerNum = readText(s, "WorkerNum", "0000");
    v.ShowFileCaption = ReadBoolValue(s, QStringLiteral("ShowFileCaption"), false);
    v.ShowFileName = ReadBoolValue(s, QStringLiteral("ShowFileName"), false);
    v.ParamsBorder = ReadBoolValue(s, QStringLiteral("ParamsBorder"), false);
    v.GraphBorder = ReadBoolValue(s, QStringLiteral("GraphBorder"), false);
    v.MarkingType = ClampMarkingType(ReadIntValue(s, QStringLiteral("MarkingType"), 2));
    v.SaveBeforePrint = ReadBoolValue(s, QStringLiteral("SaveBeforePrint"), true);
    v.DistM12 = ClampDistance(ReadIntValue(s, QStringLiteral("DistM12"), 1000));
    v.DistMY3 = ClampDistance(ReadIntValue(s, QStringLiteral("DistMY3"), 1000));
    v.DistM2Y = ClampDistance(ReadIntValue(s, QStringLiteral("DistM2Y"), 1000));
    v.FibCount = ClampFibCount(ReadIntValue(s, QStringLiteral("FibCount"), 16));
    v.AutoFib = ReadBoolValue(s, QStringLiteral("AutoFib"), true);
    v.CutFib = ReadBoolValue(s, QStringLiteral("CutFib"), false);
    v.FlowTmpFile = readText(s, "FlowTmpFile");
    v.FlowDir = readText(s, "FlowDir");
    s.endGroup();
    return v;
}

void WriteMainSettings(QSettings& s, const TMainSettings& v, const QString& section) {
    s.beginGroup(section);
    WriteIntValue(s, QStringLiteral("OldGraphPosY"), v.OldGraphPosY);
    WriteBoolValue(s, QStringLiteral("FullScreen"), v.FullScreen);
    WriteBoolValue(s, QStringLiteral("DoSaveAs"), v.DoSaveAs);
    writeText(s, "DataDir", v.DataDir);
    WriteBoolValue(s, QStringLiteral("ShowSetNum"), v.ShowSetNum);
    writeText(s, "SetNum", v.SetNum);
    WriteBoolValue(s, QStringLiteral("ShowWorkerNum"), true);
    writeText(s, "WorkerNum", v.WorkerNum);
    WriteBoolValue(s, QStringLiteral("ShowFileCaption"), v.ShowFileCaption);
    WriteBoolValue(s, QStringLiteral("ShowFileName"), v.ShowFileName);
    WriteBoolValue(s, QStringLiteral("ParamsBorder"), v.ParamsBorder);
    WriteBoolValue(s, QStringLiteral("GraphBorder"), v.GraphBorder);
    WriteIntValue(s, QStringLiteral("MarkingType"), ClampMarkingType(v.MarkingType));
    WriteBoolValue(s, QStringLiteral("SaveBeforePrint"), v.SaveBeforePrint);
    WriteIntValue(s, QStringLiteral("DistM12"), ClampDistance(v.DistM12));
    WriteIntValue(s, QStringLiteral("DistMY3"), ClampDistance(v.DistMY3));
    WriteIntValue(s, QStringLiteral("DistM2Y"), ClampDistance(v.DistM2Y));
    WriteIntValue(s, QStringLiteral("FibCount"), ClampFibCount(v.FibCount));
    WriteBoolValue(s, QStringLiteral("AutoFib"), v.AutoFib);
    WriteBoolValue(s, QStringLiteral("CutFib"), v.CutFib);
    writeText(s, "FlowTmpFile", v.FlowTmpFile);
    writeText(s, "FlowDir", v.FlowDir);
    s.endGroup();
}

// ---- window placement -------------------------------------------------------------------------------

QString ScreenQualifiedName(const QString& name, const QSize& screenSize) {
    return QStringLiteral("%1(%2x%3)").arg(name).arg(screenSize.width()).arg(screenSize.height());
}

namespace {
QScreen* screenOf(const QWidget& widget) {
    if (QScreen* s = widget.screen()) return s;
    return QGuiApplication::primaryScreen();
}
} // namespace

QSize PlacementScreenSize(const QWidget& widget) {
    QScreen* s = screenOf(widget);
    return s ? s->geometry().size() : QSize();
}

int PlacementPixelsPerInch(const QWidget& widget) {
    QScreen* s = screenOf(widget);
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

TWindowPlacement CaptureWindowPlacement(const QWidget& widget, int formVersion) {
    TWindowPlacement p;
    p.FormVersion = formVersion;
    const Qt::WindowStates state = widget.windowState();
    if (state & Qt::WindowMinimized) {
        p.ShowCmd = 2;
        if (state & Qt::WindowMaximized) p.Flags = 2;
    } else if (state & Qt::WindowMaximized) {
        p.ShowCmd = 3;
    } else {
        p.ShowCmd = 1;
    }
    p.PixelsPerInch = PlacementPixelsPerInch(widget);
    // normalGeometry is empty until a top-level window was shown.
    const QRect normal = widget.normalGeometry();
    p.NormalGeometry = normal.isValid() && (state & (Qt::WindowMinimized | Qt::WindowMaximized))
                           ? normal
                           : widget.geometry();
    p.Visible = widget.isVisible();
    return p;
}

void WriteWindowPlacement(QSettings& s, const TWindowPlacement& p, const QSize& screenSize) {
    WriteIntValue(s, QStringLiteral("FormVersion"), p.FormVersion);
    WriteIntValue(s, QStringLiteral("Flags"), p.Flags);
    WriteIntValue(s, QStringLiteral("ShowCmd"), p.ShowCmd);
    WriteIntValue(s, QStringLiteral("PixelsPerInch"), p.PixelsPerInch);
    const QString minMax =
        fourText(p.MinPosition.x(), p.MinPosition.y(), p.MaxPosition.x(), p.MaxPosition.y());
    const QRect& g = p.NormalGeometry;
    const QString norm = fourText(g.x(), g.y(), g.x() + g.width(), g.y() + g.height());
    s.setValue(QStringLiteral("MinMaxPos"), minMax);
    s.setValue(ScreenQualifiedName(QStringLiteral("MinMaxPos"), screenSize), minMax);
    s.setValue(QStringLiteral("NormPos"), norm);
    s.setValue(ScreenQualifiedName(QStringLiteral("NormPos"), screenSize), norm);
    WriteBoolValue(s, QStringLiteral("Visible"), p.Visible);
}

std::optional<TWindowPlacement> ReadWindowPlacement(const QSettings& s, const QSize& screenSize) {
    auto preferQualified = [&](const QString& name) {
        const QString qualified = ScreenQualifiedName(name, screenSize);
        if (s.contains(qualified)) {
            const QString t = textOf(s.value(qualified));
            if (fourInts(t)) return t;
        }
        return textOf(s.value(name));
    };
    const auto norm = fourInts(preferQualified(QStringLiteral("NormPos")));
    if (!norm) return std::nullopt;
    const auto [l, t, r, b] = *norm;
    if (r <= l || b <= t) return std::nullopt;
    TWindowPlacement p;
    p.NormalGeometry = QRect(l, t, r - l, b - t);
    if (const auto mm = fourInts(preferQualified(QStringLiteral("MinMaxPos")))) {
        p.MinPosition = QPoint((*mm)[0], (*mm)[1]);
        p.MaxPosition = QPoint((*mm)[2], (*mm)[3]);
    }
    p.FormVersion = ReadIntValue(s, QStringLiteral("FormVersion"), 0);
    p.Flags = ReadIntValue(s, QStringLiteral("Flags"), 0);
    p.ShowCmd = ReadIntValue(s, QStringLiteral("ShowCmd"), 1);
    p.PixelsPerInch = ReadIntValue(s, QStringLiteral("PixelsPerInch"), 0);
    p.Visible = ReadBoolValue(s, QStringLiteral("Visible"), false);
    return p;
}

bool ApplyWindowPlacement(QWidget& widget, const TWindowPlacement& p, int formVersion) {
    if (p.FormVersion < formVersion) return false;
    if (p.PixelsPerInch == PlacementPixelsPerInch(widget)) {
        QRect g = p.NormalGeometry;
        const bool fixedSize = widget.minimumSize() == widget.maximumSize();
        if (fixedSize) g.setSize(widget.size());
        // A monitor that is gone must not take the window with it.
        bool onScreen = false;
        for (QScreen* s : QGuiApplication::screens())
            if (s->availableGeometry().intersects(g)) onScreen = true;
        if (!onScreen)
            if (QScreen* primary = QGuiApplication::primaryScreen())
                g.moveTopLeft(primary->availableGeometry().topLeft());
        if (fixedSize)
            widget.move(g.topLeft());
        else
            widget.setGeometry(g);
    }
    if (p.Minimized())
        widget.setWindowState(widget.windowState() | Qt::WindowMinimized);
    else if (p.Maximized())
        widget.setWindowState((widget.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    return true;
}

void SaveWindowPlacement(QSettings& s, const QString& section, const QWidget& widget, int formVersion) {
    s.beginGroup(section);
    WriteWindowPlacement(s, CaptureWindowPlacement(widget, formVersion), PlacementScreenSize(widget));
    s.endGroup();
}

bool RestoreWindowPlacement(QSettings& s, const QString& section, QWidget& widget, int formVersion) {
    s.beginGroup(section);
    const auto p = ReadWindowPlacement(s, PlacementScreenSize(widget));
    s.endGroup();
    return p && ApplyWindowPlacement(widget, *p, formVersion);
}

// ---- toolbar layout ----------------------------------------------------------------------------------

QByteArray EncodeCoolBar(const TCoolBarLayout& layout) {
    std::vector<uint8_t> out;
    out.reserve(kCoolBarBytes);
    TLEWriter w(out);
    for (const TCoolBandRecord& band : layout) {
        w.I32(band.Index);
        w.U8(band.Break ? 1 : 0);
        w.Zeros(3);
        w.I32(band.Width);
    }
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

std::optional<TCoolBarLayout> DecodeCoolBar(const QByteArray& bytes) {
    if (bytes.size() != kCoolBarBytes) return std::nullopt;
    TLEReader r(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    TCoolBarLayout layout;
    for (TCoolBandRecord& band : layout) {
        band.Index = r.I32();
        band.Break = r.U8() != 0;
        r.Skip(3);
        band.Width = r.I32();
    }
    return layout;
}

TCoolBarLayout CaptureToolBarLayout(const QMainWindow& window, const std::array<QToolBar*, 4>& toolBars) {
    TCoolBarLayout layout{};
    std::array<int, 4> order{};
    std::iota(order.begin(), order.end(), 0);
    auto placeOf = [&](int i) { return toolBars[i] ? toolBars[i]->geometry().topLeft() : QPoint(); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QPoint pa = placeOf(a), pb = placeOf(b);
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    int index = 0;
    int lastY = 0;
    for (int i : order) {
        QToolBar* tb = toolBars[i];
        if (!tb) continue;
        const int y = tb->geometry().y();
        layout[i].Index = index;
        layout[i].Break = index > 0 && (y != lastY || window.toolBarBreak(tb));
        layout[i].Width = tb->width();
        lastY = y;
        ++index;
    }
    return layout;
}

void ApplyToolBarLayout(QMainWindow& window, const std::array<QToolBar*, 4>& toolBars,
                        const TCoolBarLayout& layout) {
    std::array<int, 4> order{};
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return layout[a].Index < layout[b].Index; });
    std::array<bool, 4> shown{};
    for (int i = 0; i < 4; ++i) {
        if (!toolBars[i]) continue;
        shown[i] = !toolBars[i]->isHidden();
        window.removeToolBar(toolBars[i]);
    }
    bool first = true;
    for (int i : order) {
        QToolBar* tb = toolBars[i];
        if (!tb) continue;
        if (!first && layout[i].Break) window.addToolBarBreak(Qt::TopToolBarArea);
        window.addToolBar(Qt::TopToolBarArea, tb);
        tb->setVisible(shown[i]);
        first = false;
    }
}

// ---- the main window as a whole ----------------------------------------------------------------------

namespace {
int clientHeightOf(const TMainFormParts& parts) {
    if (parts.ClientHeight >= 0 || !parts.Window) return std::max(parts.ClientHeight, 0);
    int h = parts.Window->height();
    if (QWidget* menu = parts.Window->menuWidget()) h -= menu->sizeHint().height();
    return h;
}
} // namespace

TMainSettings RestoreMainForm(QSettings& s, const TMainFormParts& parts) {
    if (parts.Window) RestoreWindowPlacement(s, QString::fromLatin1(kMainFormSection), *parts.Window);
    TMainSettings values = ReadMainSettings(s, clientHeightOf(parts));
    if (parts.Window) {
        s.beginGroup(QString::fromLatin1(kMainFormSection));
        const QVariant coolBar = s.value(QStringLiteral("MainCoolBar"));
        s.endGroup();
        if (coolBar.typeId() == QMetaType::QByteArray)
            if (const auto layout = DecodeCoolBar(coolBar.toByteArray()))
                ApplyToolBarLayout(*parts.Window, parts.ToolBars, *layout);
    }
    if (parts.MainGraph)
        LoadMainGraphData(*parts.MainGraph,
                          parts.GraphDataPath.isEmpty() ? MainGraphDataPath() : parts.GraphDataPath);
    return values;
}

bool SaveMainForm(QSettings& s, const TMainFormParts& parts, const TMainSettings& values) {
    try {
        const QString section = QString::fromLatin1(kMainFormSection);
        if (parts.Window) SaveWindowPlacement(s, section, *parts.Window);
        WriteMainSettings(s, values);
        if (parts.Window) {
            s.beginGroup(section);
            s.setValue(QStringLiteral("MainCoolBar"),
                       EncodeCoolBar(CaptureToolBarLayout(*parts.Window, parts.ToolBars)));
            s.endGroup();
        }
        // QSettings replaces its file atomically; a failure shows only in the status.
        s.sync();
        if (s.status() != QSettings::NoError) throw Exception("settings store not written");
        if (parts.MainGraph)
            SaveMainGraphData(*parts.MainGraph,
                              parts.GraphDataPath.isEmpty() ? MainGraphDataPath() : parts.GraphDataPath);
        return true;
    } catch (const std::exception&) {
        MessageDlg(kMsgSettingsSaveError, TMsgDlgType::mtError, mbOK);
        return false;
    }
}

} // namespace lv

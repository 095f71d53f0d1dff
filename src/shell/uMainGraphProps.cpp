#include "shell/uMainGraphProps.h"

#include <QFont>

#include <functional>
#include <limits>
#include <vector>

#include "display/uGraphsCmps.h"

namespace lv {

namespace {

using G = TGraphView;

struct TProp {
    QString Name;
    std::function<QVariant(const TMainGraph&)> Get;
    std::function<bool(TMainGraph&, const QVariant&)> Set;
};

bool isInteger(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

std::optional<int> intOf(const QVariant& v, int lo, int hi) {
    if (!isInteger(v)) return std::nullopt;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < lo || n > hi) return std::nullopt;
    return int(n);
}

std::optional<TColor> colorOf(const QVariant& v) {
    if (!isInteger(v)) return std::nullopt;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < 0 || n > qlonglong(std::numeric_limits<uint32_t>::max())) return std::nullopt;
    return TColor(n);
}

template <class C>
void addBool(std::vector<TProp>& t, const char* name, bool (C::*get)() const, void (C::*set)(bool)) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant((g.*get)()); },
                 [set](TMainGraph& g, const QVariant& v) {
                     if (v.typeId() != QMetaType::Bool) return false;
                     (g.*set)(v.toBool());
                     return true;
                 }});
}

void addInt(std::vector<TProp>& t, const char* name, int (G::*get)() const, void (G::*set)(int), int lo,
            int hi) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant((g.*get)()); },
                 [set, lo, hi](TMainGraph& g, const QVariant& v) {
                     const auto n = intOf(v, lo, hi);
                     if (!n) return false;
                     (g.*set)(*n);
                     return true;
                 }});
}

// An enumeration kept as its ordinal, 0 … count − 1.
template <class C, class E>
void addEnum(std::vector<TProp>& t, const char* name, E (C::*get)() const, void (C::*set)(E), int count) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant(int((g.*get)())); },
                 [set, count](TMainGraph& g, const QVariant& v) {
                     const auto n = intOf(v, 0, count - 1);
                     if (!n) return false;
                     (g.*set)(E(*n));
                     return true;
                 }});
}

template <class C>
void addColor(std::vector<TProp>& t, const char* name, TColor (C::*get)() const, void (C::*set)(TColor)) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant((g.*get)()); },
                 [set](TMainGraph& g, const QVariant& v) {
                     const auto c = colorOf(v);
                     if (!c) return false;
                     (g.*set)(*c);
                     return true;
                 }});
}

void addText(std::vector<TProp>& t, const char* name, const QString& (G::*get)() const,
             void (G::*set)(const QString&)) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant((g.*get)()); },
                 [set](TMainGraph& g, const QVariant& v) {
                     if (v.typeId() != QMetaType::QString) return false;
                     (g.*set)(v.toString());
                     return true;
                 }});
}

// A strip font is two entries: the face as "<name>" and its text colour as "<name>Color".
void addFont(std::vector<TProp>& t, const char* name, const TGraphFont& (G::*get)() const,
             void (G::*set)(const TGraphFont&)) {
    t.push_back({QString::fromLatin1(name), [get](const TMainGraph& g) { return QVariant((g.*get)().Font); },
                 [get, set](TMainGraph& g, const QVariant& v) {
                     if (v.typeId() != QMetaType::QFont) return false;
                     TGraphFont f = (g.*get)();
                     f.Font = v.value<QFont>();
                     (g.*set)(f);
                     return true;
                 }});
    t.push_back({QString::fromLatin1(name) + QStringLiteral("Color"),
                 [get](const TMainGraph& g) { return QVariant((g.*get)().Color); },
                 [get, set](TMainGraph& g, const QVariant& v) {
                     const auto c = colorOf(v);
                     if (!c) return false;
                     TGraphFont f = (g.*get)();
                     f.Color = *c;
                     (g.*set)(f);
                     return true;
                 }});
}

// A print property of the graph's print settings, an integer lo … hi.
void addPrint(std::vector<TProp>& t, const char* name, int (TGraphPrintSettings::*get)() const,
              std::function<void(TGraphPrintSettings&, int)> set, int lo, int hi) {
    t.push_back({QString::fromLatin1(name),
                 [get](const TMainGraph& g) { return QVariant((g.PrintSettings().*get)()); },
                 [set, lo, hi](TMainGraph& g, const QVariant& v) {
                     const auto n = intOf(v, lo, hi);
                     if (!n) return false;
                     set(g.PrintSettings(), *n);
                     return true;
                 }});
}

const std::vector<TProp>& props() {
    static const std::vector<TProp> table = [] {
        std::vector<TProp> t;
        constexpr int kBig = 100000;
        addColor(t, "Color", &G::Color, &G::SetColor);
        addEnum(t, "BorderStyle", &G::BorderStyle, &G::SetBorderStyle, 2);
        addBool(t, "HeaderVisible", &G::HeaderVisible, &G::SetHeaderVisible);
        addText(t, "Header", &G::Header, &G::SetHeader);
        addEnum(t, "HeaderPos", &G::HeaderPos, &G::SetHeaderPos, 4);
        addColor(t, "HeaderColor", &G::HeaderColor, &G::SetHeaderColor);
        addFont(t, "HeaderFont", &G::HeaderFont, &G::SetHeaderFont);
        addBool(t, "HeaderShowGraphColor", &G::HeaderShowGraphColor, &G::SetHeaderShowGraphColor);
        addInt(t, "HeaderSize", &G::HeaderSize, &G::SetHeaderSize, 0, kBig);
        addEnum(t, "HeaderContent", &G::HeaderContent, &G::SetHeaderContent, 3);

        addBool(t, "XLabelVisible", &G::XLabelVisible, &G::SetXLabelVisible);
        addText(t, "XLabel", &G::XLabel, &G::SetXLabel);
        addEnum(t, "XLabelPos", &G::XLabelPos, &G::SetXLabelPos, 3);
        addColor(t, "XLabelColor", &G::XLabelColor, &G::SetXLabelColor);
        addFont(t, "XLabelFont", &G::XLabelFont, &G::SetXLabelFont);
        addInt(t, "XLabelSize", &G::XLabelSize, &G::SetXLabelSize, 0, kBig);
        addText(t, "XLabelUnits", &G::XLabelUnits, &G::SetXLabelUnits);
        addBool(t, "XLabelUnitsVisible", &G::XLabelUnitsVisible, &G::SetXLabelUnitsVisible);
        addBool(t, "YLabelVisible", &G::YLabelVisible, &G::SetYLabelVisible);
        addText(t, "YLabel", &G::YLabel, &G::SetYLabel);
        addEnum(t, "YLabelPos", &G::YLabelPos, &G::SetYLabelPos, 3);
        addColor(t, "YLabelColor", &G::YLabelColor, &G::SetYLabelColor);
        addFont(t, "YLabelFont", &G::YLabelFont, &G::SetYLabelFont);
        addInt(t, "YLabelSize", &G::YLabelSize, &G::SetYLabelSize, 0, kBig);
        addText(t, "YLabelUnits", &G::YLabelUnits, &G::SetYLabelUnits);
        addBool(t, "YLabelUnitsVisible", &G::YLabelUnitsVisible, &G::SetYLabelUnitsVisible);

        addInt(t, "XGridsCount", &G::XGridsCount, &G::SetXGridsCount, 1, 1000);
        addColor(t, "XGridsColor", &G::XGridsColor, &G::SetXGridsColor);
        addBool(t, "XGridsVisible", &G::XGridsVisible, &G::SetXGridsVisible);
        addInt(t, "YGridsCount", &G::YGridsCount, &G::SetYGridsCount, 1, 1000);
        addColor(t, "YGridsColor", &G::YGridsColor, &G::SetYGridsColor);
        addBool(t, "YGridsVisible", &G::YGridsVisible, &G::SetYGridsVisible);

        addBool(t, "XScaleVisible", &G::XScaleVisible, &G::SetXScaleVisible);
        addBool(t, "XPowerVisible", &G::XPowerVisible, &G::SetXPowerVisible);
        addFont(t, "XScaleFont", &G::XScaleFont, &G::SetXScaleFont);
        addFont(t, "XPowerFont", &G::XPowerFont, &G::SetXPowerFont);
        addColor(t, "XSPColor", &G::XSPColor, &G::SetXSPColor);
        addEnum(t, "XSPPos", &G::XSPPos, &G::SetXSPPos, 3);
        addInt(t, "XSPSize", &G::XSPSize, &G::SetXSPSize, 0, kBig);
        addBool(t, "YScaleVisible", &G::YScaleVisible, &G::SetYScaleVisible);
        addBool(t, "YPowerVisible", &G::YPowerVisible, &G::SetYPowerVisible);
        addFont(t, "YScaleFont", &G::YScaleFont, &G::SetYScaleFont);
        addFont(t, "YPowerFont", &G::YPowerFont, &G::SetYPowerFont);
        addColor(t, "YSPColor", &G::YSPColor, &G::SetYSPColor);
        addEnum(t, "YSPPos", &G::YSPPos, &G::SetYSPPos, 3);
        addInt(t, "YSPSize", &G::YSPSize, &G::SetYSPSize, 0, kBig);

        addBool(t, "XValuesVisible", &G::XValuesVisible, &G::SetXValuesVisible);
        addFont(t, "XValuesFont", &G::XValuesFont, &G::SetXValuesFont);
        addInt(t, "XValuesPrec", &G::XValuesPrec, &G::SetXValuesPrec, 0, 20);
        addInt(t, "XValuesSize", &G::XValuesSize, &G::SetXValuesSize, 0, kBig);
        addColor(t, "XValuesBkColor", &G::XValuesBkColor, &G::SetXValuesBkColor);
        addBool(t, "YValuesVisible", &G::YValuesVisible, &G::SetYValuesVisible);
        addFont(t, "YValuesFont", &G::YValuesFont, &G::SetYValuesFont);
        addInt(t, "YValuesPrec", &G::YValuesPrec, &G::SetYValuesPrec, 0, 20);
        addInt(t, "YValuesSize", &G::YValuesSize, &G::SetYValuesSize, 0, kBig);
        addColor(t, "YValuesBkColor", &G::YValuesBkColor, &G::SetYValuesBkColor);

        addBool(t, "XRulsVisible", &G::XRulsVisible, &G::SetXRulsVisible);
        addColor(t, "XRulsBkColor", &G::XRulsBkColor, &G::SetXRulsBkColor);
        addColor(t, "XRulsColor", &G::XRulsColor, &G::SetXRulsColor);
        addEnum(t, "XRulsPos", &G::XRulsPos, &G::SetXRulsPos, 3);
        addInt(t, "XRulsSize", &G::XRulsSize, &G::SetXRulsSize, 0, kBig);
        addInt(t, "XRulsPerGrd", &G::XRulsPerGrd, &G::SetXRulsPerGrd, 1, 1000);
        addBool(t, "XRulsHalf", &G::XRulsHalf, &G::SetXRulsHalf);
        addInt(t, "XRulsNormSize", &G::XRulsNormSize, &G::SetXRulsNormSize, 0, kBig);
        addInt(t, "XRulsHalfSize", &G::XRulsHalfSize, &G::SetXRulsHalfSize, 0, kBig);
        addInt(t, "XRulsBigSize", &G::XRulsBigSize, &G::SetXRulsBigSize, 0, kBig);
        addBool(t, "YRulsVisible", &G::YRulsVisible, &G::SetYRulsVisible);
        addColor(t, "YRulsBkColor", &G::YRulsBkColor, &G::SetYRulsBkColor);
        addColor(t, "YRulsColor", &G::YRulsColor, &G::SetYRulsColor);
        addEnum(t, "YRulsPos", &G::YRulsPos, &G::SetYRulsPos, 3);
        addInt(t, "YRulsSize", &G::YRulsSize, &G::SetYRulsSize, 0, kBig);
        addInt(t, "YRulsPerGrd", &G::YRulsPerGrd, &G::SetYRulsPerGrd, 1, 1000);
        addBool(t, "YRulsHalf", &G::YRulsHalf, &G::SetYRulsHalf);
        addInt(t, "YRulsNormSize", &G::YRulsNormSize, &G::SetYRulsNormSize, 0, kBig);
        addInt(t, "YRulsHalfSize", &G::YRulsHalfSize, &G::SetYRulsHalfSize, 0, kBig);
        addInt(t, "YRulsBigSize", &G::YRulsBigSize, &G::SetYRulsBigSize, 0, kBig);

        addColor(t, "ContentBkColor", &G::ContentBkColor, &G::SetContentBkColor);
        addFont(t, "ContentFont", &G::ContentFont, &G::SetContentFont);
        addEnum(t, "DisplayMethod", &G::DisplayMethod, &G::SetDisplayMethod, 5);

        using M = TMainGraph;
        addEnum(t, "CursorType", &M::CursorType, &M::SetCursorType, 2);
        addColor(t, "CursorColor", &M::CursorColor, &M::SetCursorColor);
        addBool(t, "CursorVisible", &M::CursorVisible, &M::SetCursorVisible);
        addBool(t, "ShowMarkersLine", &M::ShowMarkersLine, &M::SetShowMarkersLine);

        using P = TGraphPrintSettings;
        addPrint(t, "PrintCopies", &P::PrintCopies, &P::SetPrintCopies, 1, kBig);
        t.push_back({QStringLiteral("PrintOrientation"),
                     [](const TMainGraph& g) { return QVariant(int(g.PrintSettings().PrintOrientation())); },
                     [](TMainGraph& g, const QVariant& v) {
                         const auto n = intOf(v, 0, 1);
                         if (!n) return false;
                         g.PrintSettings().SetPrintOrientation(TPrintOrientation(*n));
                         return true;
                     }});
        addPrint(t, "PrintPaperSize", &P::PrintPaperSize, &P::SetPrintPaperSize, 1, kBig);
        addPrint(t, "GraphsOnPage", &P::GraphsOnPage, &P::SetGraphsOnPage, 1, 8);
        addPrint(t, "GroupGraphsOnPrint", &P::GroupGraphsOnPrint, &P::SetGroupGraphsOnPrint, 1, kBig);
        return t;
    }();
    return table;
}

} // namespace

QVariantMap TMainGraphPersistence::PersistentProperties() const {
    QVariantMap out;
    for (const TProp& p : props())
        out.insert(p.Name, p.Get(m_graph));
    return out;
}

bool TMainGraphPersistence::ApplyPersistentProperty(const QString& name, const QVariant& value) {
    for (const TProp& p : props())
        if (p.Name == name) return p.Set(m_graph, value);
    return false;
}

QStringList TMainGraphPersistence::PropertyNames() {
    QStringList names;
    for (const TProp& p : props())
        names << p.Name;
    return names;
}

} // namespace lv

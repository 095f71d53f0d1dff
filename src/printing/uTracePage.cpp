#include "printing/uTracePage.h"

#include <QDir>
#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cmath>

#include "display/GraphColors.h"
#include "display/NumberFormat.h"
#include "display/uGraphsCmps.h"
#include "trace/uGraphIntfs.h"

namespace lv {

namespace {

const QString kMissing = QStringLiteral("***");

const char* const kTextKeys[] = {"CID", "FID", "OL", "TL", "OP", "SN", "MFID", "OTDR", "OMID", "OMSN"};

QString fixed(double value, int decimals, const QLocale& locale) {
    return FormatFloat(value, TFloatFormat::Fixed, decimals, locale.decimalPoint());
}

// "<label><value><unit>" when `known`, else "<label>***".
QString valueText(const QString& label, bool known, double value, int decimals, const QString& unit,
                  const QLocale& locale) {
    return label + (known ? fixed(value, decimals, locale) + unit : kMissing);
}

QString textOrMissing(const QString& text) {
    return text.isEmpty() ? kMissing : text;
}

// The first character of a date or time format that is no pattern letter: the separator the
// locale writes between its fields.
QChar separatorOf(const QString& format, QChar fallback) {
    for (const QChar c : format)
        if (!c.isLetter() && !c.isSpace() && c != u'\'') return c;
    return fallback;
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0'));
}

// Adds texts line by line: a rectangle that moves down by a step, with its left edge movable.
class TLineCursor {
public:
    TLineCursor(std::vector<TPageText>& texts, const TRect& first, int step, int fontHeight)
        : m_texts(texts), m_rect(first), m_step(step), m_font(fontHeight) {}
    void Next(int steps = 1) {
        m_rect.Top += steps * m_step;
        m_rect.Bottom += steps * m_step;
    }
    void MoveTo(const TRect& r) { m_rect = r; }
    void SetLeft(int left) { m_rect.Left = left; }
    void ShiftLeft(int by) { m_rect.Left += by; }
    const TRect& Rect() const { return m_rect; }
    void Add(int line, const QString& text, bool bold = false,
             TTextPlacement placement = TTextPlacement::Start) {
        m_texts.push_back({line, text, m_rect, m_font, bold, placement});
    }
    void SetFont(int height) { m_font = height; }
    void SetStep(int step) { m_step = step; }

private:
    std::vector<TPageText>& m_texts;
    TRect m_rect;
    int m_step;
    int m_font;
};

// The texts of the standard page, lines 7 to 27, as both variants write them.
struct TValueLines {
    QString Distance, Attenuation, Defect, WaveLength, Attenuator, Range, X, Y, Pulse, Averages,
        AveragingMethod, Approximation, GroupIndex, Distance12, Loss12, Attenuation12, Distance23, Loss23,
        Attenuation23;
};

TValueLines valueLines(const TTracePageData& d, const QLocale& l) {
    const bool first = d.Distance12 > 0, second = d.Distance23 > 0;
    const QString km = QStringLiteral(" км"), db = QStringLiteral(" дБ"), dbkm = QStringLiteral(" дБ/км");
    const QString distance = QStringLiteral("Расстояние: "), loss = QStringLiteral("Затухание: "),
                  attenuation = QStringLiteral("Коэф. затух.: ");
    TValueLines v;
    v.Distance = valueText(distance, d.CursorPos >= 0, d.CursorPos - d.Reference, 3, km, l);
    v.Attenuation = valueText(attenuation, first, first ? d.Loss12 / d.Distance12 : 0, 3, dbkm, l);
    v.Defect = valueText(QStringLiteral("Дефект: "), first && second, d.SpliceLoss, 3, db, l);
    v.WaveLength = valueText(QStringLiteral("Длина волны: "), d.WaveLength > 0, d.WaveLength, 2,
                             QStringLiteral(" мкм"), l);
    v.Attenuator = valueText(QStringLiteral("Ослабление: "), d.Attenuator >= 0, d.Attenuator, 2, db, l);
    v.Range = valueText(QStringLiteral("Диап.длин: "), d.Range > 0, d.Range, 0, km, l);
    v.X = valueText(QStringLiteral("X: "), true, d.ViewWidth, 2, km, l);
    v.Y = valueText(QStringLiteral("Y: "), true, d.ViewHeight, 2, db, l);
    v.Pulse = QStringLiteral("Импульс: ") +
              (d.PulseWidth >= 1 ? QString::number(d.PulseWidth) + QStringLiteral(" нс") : kMissing);
    v.Averages = QStringLiteral("Усреднение: ") + textOrMissing(AveragesText(d.Averages));
    v.AveragingMethod = QStringLiteral("Метод усред.: ") + textOrMissing(d.AveragingText);
    v.Approximation = QStringLiteral("Аппроксимация: ") + textOrMissing(AproxText(d.ApproxMode));
    v.GroupIndex = valueText(QStringLiteral("No: "), d.GroupIndex > 0, d.GroupIndex, 4, {}, l);
    v.Distance12 = valueText(distance, first, d.Distance12, 3, km, l);
    v.Loss12 = valueText(loss, first, d.Loss12, 3, db, l);
    v.Attenuation12 = v.Attenuation;
    v.Distance23 = valueText(distance, second, d.Distance23, 3, km, l);
    v.Loss23 = valueText(loss, second, d.Loss23, 3, db, l);
    v.Attenuation23 = valueText(attenuation, second, second ? d.Loss23 / d.Distance23 : 0, 3, dbkm, l);
    return v;
}

// Each of `lines` on the next line.
void nextLines(TLineCursor& c, std::initializer_list<std::pair<int, QString>> lines) {
    for (const auto& [line, text] : lines) {
        c.Next();
        c.Add(line, text);
    }
}

// The time as "hh:mm:ss" with the locale's separator.
QString timeText(const QTime& time, const QLocale& locale) {
    const QChar ts = separatorOf(locale.timeFormat(QLocale::ShortFormat), u':');
    return twoDigits(time.hour()) + ts + twoDigits(time.minute()) + ts + twoDigits(time.second());
}

// Lines 3 to 6: the batch number, the operator, the title and the file name, where wanted.
void addIdentityLines(TLineCursor& c, const TTracePageData& d, const TMainSettings& s) {
    if (s.ShowSetNum) {
        c.Next();
        c.Add(3, QStringLiteral("Партия: ") + QString::fromStdString(s.SetNum));
    }
    if (s.ShowWorkerNum) {
        c.Next();
        c.Add(4, QStringLiteral("Табельный №") + QString::fromStdString(s.WorkerNum));
    }
    if (d.HasStore && s.ShowFileCaption) {
        c.Next();
        c.Add(5, d.Caption);
    }
    if (d.HasStore && s.ShowFileName) {
        c.Next();
        c.Add(6, QDir::toNativeSeparators(d.FileName));
    }
}

// The pitch of `lines` lines in `area` pixels: the font shrinks to it when it is smaller than the
// font and still more than 2 pixels.
int shrunkFontHeight(int area, int lines, int fontHeight) {
    const int p = (area - 4) / lines - 2;
    return p > 2 && p < fontHeight ? p : fontHeight;
}

void sideColumnLines(std::vector<TPageText>& texts, const TRect& t, const TTracePageData& d,
                     const TMainSettings& s, const TPageContext& ctx) {
    const int n =
        25 + int(s.ShowSetNum) + int(s.ShowWorkerNum) + int(s.ShowFileCaption) + int(s.ShowFileName);
    const int h = shrunkFontHeight(t.Bottom - t.Top, n, PageFontHeight());
    const int d2 = h + 2;
    const TValueLines v = valueLines(d, ctx.Locale);
    const int third = 2 * ((t.Right - 4) / 3);

    TLineCursor c(texts, TRect{2, 2, third - 1, h + 4}, d2, h);
    c.Add(1, ctx.DateText);
    c.MoveTo(TRect{third + 1, 2, t.Right - 2, h + 4});
    c.Add(2, timeText(ctx.Now.time(), ctx.Locale), false, TTextPlacement::End);
    c.MoveTo(TRect{2, 2, t.Right - 2, h + 4});
    addIdentityLines(c, d, s);
    c.Next(2);
    c.Add(7, v.Distance, true);
    c.Next();
    c.Add(8, v.Attenuation, true);
    c.Next();
    c.Add(9, v.Defect, true);
    c.Next(2);
    c.Add(10, v.WaveLength);
    nextLines(c, {{11, v.Attenuator}, {12, v.Range}, {13, v.X}, {14, v.Y}});
    c.Next(2);
    c.Add(15, v.Pulse);
    nextLines(c, {{16, v.Averages}, {17, v.AveragingMethod}, {18, v.Approximation}, {19, v.GroupIndex}});
    c.Next(2);
    c.Add(20, QStringLiteral("Маркер 1-2"));
    c.SetLeft(20);
    nextLines(c, {{21, v.Distance12}, {22, v.Loss12}, {23, v.Attenuation12}});
    c.Next();
    c.SetLeft(2);
    c.Add(24, QStringLiteral("Маркер 2-3"));
    c.SetLeft(20);
    nextLines(c, {{25, v.Distance23}, {26, v.Loss23}, {27, v.Attenuation23}});
}

void compactLines(std::vector<TPageText>& texts, const TRect& t, const TTracePageData& d,
                  const TMainSettings& s, const TPageContext& ctx) {
    const int h = shrunkFontHeight(t.Bottom - t.Top, 10, PageFontHeight());
    const int d2 = h + 2;
    const TValueLines v = valueLines(d, ctx.Locale);
    const int third = (t.Right - 4) / 3;

    TLineCursor c(texts, TRect{1, t.Top + 1, third - 1, t.Top + d2 + 3}, d2, h);
    c.Add(1, ctx.DateText);
    c.Next();
    c.Add(2, timeText(ctx.Now.time(), ctx.Locale));
    addIdentityLines(c, d, s);
    c.Next(2);
    c.Add(7, v.Distance, true);
    c.Next();
    c.Add(8, v.Attenuation, true);
    c.Next();
    c.Add(9, v.Defect, true);

    c.MoveTo(TRect{third + 2, t.Top + 1, (2 * (t.Right - 4)) / 3 + 2, t.Top + d2 + 3});
    c.Add(10, v.WaveLength);
    nextLines(c, {{11, v.Attenuator},
                  {12, v.Range},
                  {13, v.X},
                  {14, v.Y},
                  {15, v.Pulse},
                  {16, v.Averages},
                  {17, v.AveragingMethod},
                  {18, v.Approximation},
                  {19, v.GroupIndex}});

    c.MoveTo(TRect{2 * third + 4, t.Top + 1, t.Right - 1, t.Top + d2 + 3});
    c.Add(20, QStringLiteral("Маркер 1-2"));
    c.ShiftLeft(18);
    nextLines(c, {{21, v.Distance12}, {22, v.Loss12}, {23, v.Attenuation12}});
    c.Next();
    c.ShiftLeft(-18);
    c.Add(24, QStringLiteral("Маркер 2-3"));
    c.ShiftLeft(18);
    nextLines(c, {{25, v.Distance23}, {26, v.Loss23}, {27, v.Attenuation23}});
}

// Grows the page to hold the graph, the texts and the rules.
void holdEverything(TComposedPage& page, const QSize& graph) {
    int w = std::max(page.Size.width(), page.GraphAt.x() + graph.width());
    int h = std::max(page.Size.height(), page.GraphAt.y() + graph.height());
    for (const TPageText& t : page.Texts) {
        w = std::max(w, t.Rect.Right);
        h = std::max(h, t.Rect.Bottom);
    }
    for (const QLine& l : page.Rules) {
        w = std::max({w, l.x1() + 1, l.x2() + 1});
        h = std::max({h, l.y1() + 1, l.y2() + 1});
    }
    page.Size = QSize(w, h);
}

// --- the batch page's texts -----------------------------------------------------------------------

struct TBatchTexts {
    const char* TraceLabel;
    const char* TimeLabel;
    const char* Cable;
    const char* Fibre;
    const char* Start;
    const char* End;
    const char* Operator;
    const char* Instrument;
    const char* Module;
    const char* Range;
    const char* Pulse;
    const char* WaveLength;
    const char* Km;
    const char* Ns;
    const char* Um;
    const char* Db;
    const char* DbKm;
    const char* Approximation;
    const char* RefIndex;
    const char* Codes[2];
    const char* Total;
    const char* Information;
    const char* Markers12;
    const char* Markers23;
    const char* Length;
    const char* Loss;
    const char* TotalAttenuation;
    const char* Attenuation;
};

const TBatchTexts kEnglish = {
    .TraceLabel = "Trace: ",
    .TimeLabel = "Measurement Date and Time: ",
    .Cable = "Cabel ID: ",
    .Fibre = "Fiber ID: ",
    .Start = "Orig. Loc: ",
    .End = "Term. Loc: ",
    .Operator = "Operator: ",
    .Instrument = "OTDR: ",
    .Module = ", module ",
    .Range = "Range:",
    .Pulse = "Pulswidth:",
    .WaveLength = "Wavelength:",
    .Km = " km",
    .Ns = " ns",
    .Um = " mkm",
    .Db = " dB",
    .DbKm = " dB/km",
    .Approximation = "Approximation:",
    .RefIndex = "Refractive Index:",
    .Codes = {"TPA", "LSA"},
    .Total = "Total Fiber",
    .Information = "Information:",
    .Markers12 = "Markers 1-2",
    .Markers23 = "Markers 2-3",
    .Length = "Length: ",
    .Loss = "Loss: ",
    .TotalAttenuation = "Atten.: ",
    .Attenuation = "Atten: ",
};

const TBatchTexts kRussian = {
    .TraceLabel = "Трасса: ",
    .TimeLabel = "Дата и время измерения: ",
    .Cable = "Кабель: ",
    .Fibre = "Волокно: ",
    .Start = "Начало: ",
    .End = "Конец: ",
    .Operator = "Оператор: ",
    .Instrument = "Прибор: ",
    .Module = ", модуль ",
    .Range = "Диапазон:",
    .Pulse = "Ширина импульса:",
    .WaveLength = "Длина волны:",
    .Km = " км",
    .Ns = " нс",
    .Um = " мкм",
    .Db = " дБ",
    .DbKm = " дБ/км",
    .Approximation = "Аппроксимация:",
    .RefIndex = "Коэф. преломления:",
    .Codes = {"ДТМ", "АПР"},
    .Total = "Итоговая",
    .Information = "Информация:",
    .Markers12 = "Маркеры 1-2",
    .Markers23 = "Маркеры 2-3",
    .Length = "Расст.: ",
    .Loss = "Потери: ",
    .TotalAttenuation = "Затух.: ",
    .Attenuation = "Затух.: ",
};

QString u8(const char* s) {
    return QString::fromUtf8(s);
}

// A parameter of the instrument line: one trailing blank dropped, "***" when empty.
QString instrumentPart(const QString& value) {
    QString v = value;
    if (v.endsWith(u' ')) v.chop(1);
    return textOrMissing(v);
}

} // namespace

// --- values of a trace ----------------------------------------------------------------------------

TTracePageData TracePageData(TMainDataItem* item, const TRealRect& viewWindow) {
    TTracePageData d;
    d.ViewWidth = viewWindow.XMax - viewWindow.XMin;
    d.ViewHeight = viewWindow.YMax - viewWindow.YMin;
    if (!item) return d;
    TRDataStorage* store = item->Trace();
    d.HasStore = store != nullptr;
    d.Caption = item->Caption();
    d.FileName = item->SourceFileName();
    d.CursorPos = item->CursorPos();
    d.Reference = item->TraceValue(tvReference);
    d.Distance12 = item->TraceValue(tvLength12);
    d.Loss12 = item->TraceValue(tvLoss12);
    d.Distance23 = item->TraceValue(tvLength23);
    d.Loss23 = item->TraceValue(tvLoss23);
    d.SpliceLoss = item->TraceValue(tvSpliceLoss);
    d.WaveLength = item->TraceValue(tvWaveLength);
    d.GroupIndex = item->TraceValue(tvRefIndex);
    d.Attenuator = item->Valid() ? item->TraceValue(tvAttenuator) : -1;
    d.Range = item->TraceValue(tvRange);
    d.PulseWidth = item->PulseWidth();
    d.Averages = item->Averages();
    d.AveragingText = item->AveragingText();
    d.ApproxMode = item->Valid() ? item->ApproxMode() : -1;
    if (store) {
        const TDateTimeParts p = DecodeDateTime(store->MeasuredAt);
        d.MeasuredAt = QDateTime(QDate(p.Year, p.Month, p.Day), QTime(p.Hour, p.Minute, p.Second));
    }
    for (const char* key : kTextKeys)
        d.Texts.insert(QString::fromLatin1(key), item->GetTextParam(QString::fromLatin1(key)));
    return d;
}

// --- fonts ----------------------------------------------------------------------------------------

int PageFontHeight() {
    return FontPixelHeight(QFont(QStringLiteral("Times New Roman"), 14));
}

QFont PageFont(int pixelHeight, bool bold) {
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(std::max(pixelHeight, 1));
    f.setBold(bold);
    return f;
}

// --- the standard page ----------------------------------------------------------------------------

TComposedPage StandardPage(const QSize& graph, const TRect& frame, TTracePageLayout layout,
                           const TTracePageData& data, const TMainSettings& settings,
                           const TPageContext& context) {
    TComposedPage page;
    const int w = graph.width(), h = graph.height();
    if (layout == TTracePageLayout::Compact) {
        page.Size = QSize(w, 2 * h + 1);
        page.GraphAt = QPoint(1, 1);
        const TRect t{0, h + 1, w, 2 * h + 1};
        compactLines(page.Texts, TRect{t.Left, t.Top + 3, t.Right, t.Bottom - 3}, data, settings, context);
        holdEverything(page, graph);
        if (settings.ParamsBorder) page.Frames.push_back({0, t.Top, page.Size.width(), page.Size.height()});
        if (settings.GraphBorder) page.Frames.push_back({0, 0, page.Size.width(), t.Top});
        return page;
    }

    TRect r = frame;
    if (r.Width() < 10 || r.Height() < 5 || w <= 0 || h <= 0)
        r = TRect{0, 0, int(std::lround(w * 5.0 / 4.0)), h};
    TRect t{0, 0, r.Width() / 5, r.Height()};
    if (w > 0 && h > 0 && t.Right > 1 && t.Bottom > 4) {
        const double s = std::min(4.0 * (t.Right - 1) / w, double(t.Bottom - 4) / h);
        t.Right = int(std::floor(t.Right / s));
        t.Bottom = int(std::floor(t.Bottom / s));
    }
    page.Size = QSize(5 * t.Right, t.Bottom);
    page.GraphAt = QPoint(t.Right + 1, 2);
    sideColumnLines(page.Texts, TRect{t.Left, t.Top + 3, t.Right, t.Bottom - 3}, data, settings, context);
    holdEverything(page, graph);
    if (settings.ParamsBorder) page.Frames.push_back({0, 0, t.Right, page.Size.height()});
    if (settings.GraphBorder) page.Frames.push_back({t.Right, 0, page.Size.width(), page.Size.height()});
    return page;
}

// --- the batch page -------------------------------------------------------------------------------

int BatchTitleFontHeight(int pitch, int baseHeight) {
    if (pitch <= 2) return baseHeight;
    return pitch < baseHeight ? 2 * pitch : 2 * baseHeight;
}

QString MeasurementTimeText(const QDateTime& at, bool russian, const QLocale& locale) {
    const QChar ds = separatorOf(locale.dateFormat(QLocale::ShortFormat), u'.');
    const QChar ts = separatorOf(locale.timeFormat(QLocale::ShortFormat), u':');
    const QDate date = at.date();
    const QTime time = at.time();
    int hour = time.hour();
    if (!russian) hour = hour % 12 == 0 ? 12 : hour % 12;
    QString text = QString::number(date.day()) + ds + twoDigits(date.month()) + ds +
                   twoDigits(date.year() % 100) + QStringLiteral(", ") + QString::number(hour) + ts +
                   twoDigits(time.minute()) + ts + twoDigits(time.second());
    if (!russian) text += time.hour() < 12 ? QStringLiteral(" am") : QStringLiteral(" pm");
    return text;
}

TComposedPage BatchPage(const QSize& graph, bool russian, const TTracePageData& data,
                        const TMainSettings& settings, const TPageContext& context) {
    const TBatchTexts& tx = russian ? kRussian : kEnglish;
    const QLocale& l = context.Locale;
    const int w = graph.width();
    const int h = std::max(graph.height(), kBatchMinGraphHeight);
    TComposedPage page;
    std::vector<TPageText>& texts = page.Texts;

    TRect g{50, 3, w, 2 * h - 200 - 3};
    const int p = (g.Bottom - g.Top - 4) / 28 - 2;
    const int title = BatchTitleFontHeight(p, PageFontHeight());
    const int bigStep = title + 3; // D
    TLineCursor c(texts, TRect{2 * ((g.Right - 4) / 3) + 3, g.Top + 1, g.Right - 4, g.Top + bigStep}, 0,
                  title);
    c.Add(0, QStringLiteral("Lumvaris"), true, TTextPlacement::End);
    c.SetStep(bigStep + 2);
    c.Next();
    page.Rules.emplace_back(g.Left + 4, c.Rect().Top, g.Right - 4, c.Rect().Top);
    c.SetStep(3);
    c.Next();

    const int font = title / 2 + 2;
    const int step = font + 2; // d
    c.SetFont(font);
    c.SetStep(step);
    const int y = c.Rect().Top;
    c.MoveTo(TRect{g.Left, y + 3, 2 * ((g.Right - 4) / 3), y + step});
    c.Add(0, l.toString(context.Now.date(), QLocale::ShortFormat));
    // Ties to even, as the system rounds.
    const int y2 = y + int(std::nearbyint(2.5 * bigStep));
    page.Rules.emplace_back(g.Left + 4, y2, g.Right - 4, y2);
    c.MoveTo(TRect{g.Left, y2, g.Right - 4, y2 + step});
    const QString file = data.FileName.trimmed();
    c.Add(0, u8(tx.TraceLabel) + (file.isEmpty() ? data.Caption : QDir::toNativeSeparators(file)), true,
          TTextPlacement::Centre);
    page.Rules.emplace_back(g.Left + 4, c.Rect().Bottom + 2, g.Right - 4, c.Rect().Bottom + 2);

    // Identification of the measurement.
    c.MoveTo(TRect{g.Left, y2 + font + bigStep + 4, g.Right - 4, y2 + font + bigStep + 4 + step});
    auto text = [&](const char* key) { return textOrMissing(data.Texts.value(QString::fromLatin1(key))); };
    const QString when = data.MeasuredAt ? MeasurementTimeText(*data.MeasuredAt, russian, l) : kMissing;
    const QString instrument =
        u8(tx.Instrument) + instrumentPart(data.Texts.value(QStringLiteral("SN"))) + QStringLiteral("   ") +
        instrumentPart(data.Texts.value(QStringLiteral("MFID"))) + QStringLiteral(" #") +
        instrumentPart(data.Texts.value(QStringLiteral("OTDR"))) + u8(tx.Module) +
        instrumentPart(data.Texts.value(QStringLiteral("OMID"))) + QStringLiteral(" #") +
        instrumentPart(data.Texts.value(QStringLiteral("OMSN")));
    const QString identity[] = {u8(tx.TimeLabel) + when,
                                u8(tx.Cable) + text("CID"),
                                u8(tx.Fibre) + text("FID"),
                                u8(tx.Start) + text("OL"),
                                u8(tx.End) + text("TL"),
                                u8(tx.Operator) + text("OP"),
                                instrument};
    for (size_t i = 0; i < std::size(identity); ++i) {
        if (i > 0) c.Next();
        c.Add(0, identity[i]);
    }
    auto separator = [&](int bottom) {
        page.Rules.emplace_back(g.Left + 4, bottom + step, g.Right - 4, bottom + step + 2);
    };
    separator(c.Rect().Bottom);

    // Parameters: four columns.
    const int top = c.Rect().Top + bigStep + step;
    const int quarter = (g.Right - g.Left - 8) / 4;
    auto cell = [&](int column, int row, int width) {
        const int left = g.Left + column * (width + 1);
        return TRect{left, top + row * step, left + width, top + (row + 1) * step};
    };
    const QString um = u8(tx.Um);
    const QString paramLabels[] = {u8(tx.Range), u8(tx.Pulse), u8(tx.WaveLength)};
    const QString paramValues[] = {data.Range > 0 ? fixed(data.Range, 0, l) + u8(tx.Km) : kMissing,
                                   data.PulseWidth >= 1 ? QString::number(data.PulseWidth) + u8(tx.Ns)
                                                        : kMissing,
                                   data.WaveLength > 0 ? fixed(data.WaveLength, 2, l) + um : kMissing};
    for (int row = 0; row < 3; ++row) {
        c.MoveTo(cell(0, row, quarter));
        c.Add(0, paramLabels[row]);
        c.MoveTo(cell(1, row, quarter));
        c.Add(0, paramValues[row]);
    }
    separator(cell(0, 2, quarter).Bottom);
    const QString fitLabels[] = {u8(tx.Approximation), u8(tx.RefIndex)};
    const QString fitValues[] = {data.ApproxMode == 0 || data.ApproxMode == 1 ? u8(tx.Codes[data.ApproxMode])
                                                                              : kMissing,
                                 data.GroupIndex > 0 ? fixed(data.GroupIndex, 4, l) : kMissing};
    for (int row = 0; row < 2; ++row) {
        c.MoveTo(cell(2, row, quarter));
        c.Add(0, fitLabels[row]);
        c.MoveTo(cell(3, row, quarter));
        c.Add(0, fitValues[row]);
    }

    // Results: three columns under their headings.
    const int resultsTop = cell(0, 1, quarter).Top + 2 * step + bigStep + 2;
    const int third = (g.Right - g.Left - 8) / 3;
    auto result = [&](int column, int row) {
        const int left = g.Left + column * (third + 1);
        return TRect{left, resultsTop + row * step, left + third, resultsTop + (row + 1) * step};
    };
    const bool first = data.Distance12 > 0, second = data.Distance23 > 0;
    const QString km = u8(tx.Km), db = u8(tx.Db), dbkm = u8(tx.DbKm);
    auto value = [&](const char* label, bool known, double v, const QString& unit) {
        return valueText(u8(label), known, v, 3, unit, l);
    };
    const std::pair<TRect, QString> headings[] = {{result(0, 0), u8(tx.Total)},
                                                  {result(0, 1), u8(tx.Information)},
                                                  {result(1, 1), u8(tx.Markers12)},
                                                  {result(2, 1), u8(tx.Markers23)}};
    for (const auto& [r, heading] : headings) {
        c.MoveTo(r);
        c.Add(0, heading, true);
    }
    const std::pair<TRect, QString> results[] = {
        {result(0, 2), value(tx.Length, data.CursorPos >= 0, data.CursorPos - data.Reference, km)},
        {result(0, 3), value(tx.TotalAttenuation, first, first ? data.Loss12 / data.Distance12 : 0, dbkm)},
        {result(1, 2), value(tx.Length, first, data.Distance12, km)},
        {result(1, 3), value(tx.Loss, first, data.Loss12, db)},
        {result(1, 4), value(tx.Attenuation, first, first ? data.Loss12 / data.Distance12 : 0, dbkm)},
        {result(2, 2), value(tx.Length, second, data.Distance23, km)},
        {result(2, 3), value(tx.Loss, second, data.Loss23, db)},
        {result(2, 4), value(tx.Attenuation, second, second ? data.Loss23 / data.Distance23 : 0, dbkm)}};
    for (const auto& [r, v] : results) {
        c.MoveTo(r);
        c.Add(0, v);
    }
    separator(result(0, 4).Bottom);

    // The text area ends 3 pixels under what it holds, at 2H − 200 at the least; the graph follows.
    int textBottom = 2 * h - 200;
    for (const TPageText& t : texts)
        textBottom = std::max(textBottom, t.Rect.Bottom + 3);
    for (const QLine& rule : page.Rules)
        textBottom = std::max(textBottom, std::max(rule.y1(), rule.y2()) + 4);
    const int graphArea = h + 215; // 3H + 15 less 2H − 200
    page.Size = QSize(w, textBottom + graphArea);
    page.GraphAt = QPoint(1, textBottom + 1);
    holdEverything(page, graph);
    if (settings.ParamsBorder) page.Frames.push_back({0, 0, page.Size.width(), textBottom});
    if (settings.GraphBorder) page.Frames.push_back({0, textBottom, page.Size.width(), page.Size.height()});
    return page;
}

// --- drawing --------------------------------------------------------------------------------------

void DrawComposedPage(QPainter& painter, const QPicture& graph, const TComposedPage& page) {
    painter.save();
    painter.drawPicture(page.GraphAt - graph.boundingRect().topLeft(), graph);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    for (const TRect& f : page.Frames)
        if (!f.IsEmpty()) painter.drawRect(QRect(f.Left, f.Top, f.Width() - 1, f.Height() - 1));
    for (const TPageText& t : page.Texts)
        DrawFittedText(painter, t.Rect, t.Text, TGraphFont{PageFont(t.FontHeight, t.Bold), clBlack},
                       TTextRotation::None, t.Placement, QColor(Qt::white));
    painter.setPen(QPen(Qt::black, 0));
    for (const QLine& rule : page.Rules)
        painter.drawLine(rule);
    painter.restore();
}

std::unique_ptr<QPicture> ComposedPagePicture(const QPicture& graph, const TComposedPage& page) {
    auto picture = std::make_unique<QPicture>();
    {
        QPainter painter(picture.get());
        DrawComposedPage(painter, graph, page);
    }
    picture->setBoundingRect(QRect(QPoint(0, 0), page.Size));
    return picture;
}

} // namespace lv

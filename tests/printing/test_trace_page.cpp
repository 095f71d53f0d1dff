// The printed trace page, drawn onto a recording paint device: its lines by the settings and the
// trace's values ("***" where a value is missing), bold lines, the side column beside the graph
// and the compact block under it, the font shrinking to the pitch, frames, the batch page in both
// languages, and nothing drawn outside the picture.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPainter>
#include <QPicture>

#include <functional>
#include <map>
#include <set>

#include "display/TraceStores.h"
#include "printing/uTracePage.h"
#include "support/RecordingPrinter.h"

using namespace lv;

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

TPageContext Context() {
    TPageContext c;
    c.Now = QDateTime(QDate(2024, 3, 5), QTime(0, 10, 7));
    c.Locale = kRussian;
    c.DateText = QStringLiteral("05.03.2024   Вторник");
    return c;
}

// A graph picture of w × h pixels: its outline, no text.
std::unique_ptr<QPicture> GraphPicture(int w, int h) {
    auto picture = std::make_unique<QPicture>();
    {
        QPainter p(picture.get());
        p.setPen(QPen(Qt::black, 0));
        p.drawRect(0, 0, w - 1, h - 1);
    }
    picture->setBoundingRect(QRect(0, 0, w, h));
    return picture;
}

// What the page's picture draws, replayed onto a recording device of the page's size.
lvtest::RecordedPage Record(const TComposedPage& page, const QPicture& graph) {
    const std::unique_ptr<QPicture> picture = ComposedPagePicture(graph, page);
    EXPECT_EQ(picture->boundingRect(), QRect(QPoint(0, 0), page.Size));
    lvtest::RecordingDevice device;
    device.Size = page.Size;
    lvtest::RecordedPage recorded;
    device.Engine.Page = &recorded;
    QPainter painter(&device);
    painter.drawPicture(0, 0, *picture);
    painter.end();
    return recorded;
}

// The lines drawn, in order (UTF-8, for readable failures).
std::vector<std::string> Texts(const lvtest::RecordedPage& page) {
    std::vector<std::string> texts;
    for (const lvtest::RecordedLine& l : page.TextLines())
        texts.push_back(l.Text.toStdString());
    return texts;
}

// Every value of a trace known.
TTracePageData Known() {
    TTracePageData d;
    d.HasStore = true;
    d.Caption = QStringLiteral("Барабан 12");
    d.FileName = QStringLiteral("/data/131/012.tra");
    d.CursorPos = 5.5;
    d.Reference = 0.25;
    d.Distance12 = 2.5;
    d.Loss12 = 0.8125;
    d.Distance23 = 1.5;
    d.Loss23 = 0.33;
    d.SpliceLoss = 0.1235;
    d.WaveLength = 1.55;
    d.GroupIndex = 1.4681;
    d.Attenuator = 5;
    d.Range = 40;
    d.ViewWidth = 12.5;
    d.ViewHeight = 30;
    d.PulseWidth = 100;
    d.Averages = 1000;
    d.AveragingText = QStringLiteral("Время");
    d.ApproxMode = 1;
    d.MeasuredAt = QDateTime(QDate(2024, 2, 14), QTime(15, 4, 5));
    d.Texts = {{"CID", "K-7"}, {"FID", "12"},  {"OL", ""},      {"TL", "Узел Б"}, {"OP", "0042"},
               {"SN", "ABC "}, {"MFID", "MF"}, {"OTDR", "123"}, {"OMID", ""},     {"OMSN", "456"}};
    return d;
}

// The lines of Known() as the standard page writes them, by number.
std::map<int, QString> KnownLines() {
    return {{1, "05.03.2024   Вторник"},
            {2, "00:10:07"},
            {3, "Партия: 17-Б"},
            {4, "Табельный №0042"},
            {5, "Барабан 12"},
            {6, "/data/131/012.tra"},
            {7, "Расстояние: 5,250 км"},
            {8, "Коэф. затух.: 0,325 дБ/км"},
            {9, "Дефект: 0,124 дБ"},
            {10, "Длина волны: 1,55 мкм"},
            {11, "Ослабление: 5,00 дБ"},
            {12, "Диап.длин: 40 км"},
            {13, "X: 12,50 км"},
            {14, "Y: 30,00 дБ"},
            {15, "Импульс: 100 нс"},
            {16, "Усреднение: 1000 (2^9)"},
            {17, "Метод усред.: Время"},
            {18, "Аппроксимация: АПР"},
            {19, "No: 1,4681"},
            {20, "Маркер 1-2"},
            {21, "Расстояние: 2,500 км"},
            {22, "Затухание: 0,813 дБ"},
            {23, "Коэф. затух.: 0,325 дБ/км"},
            {24, "Маркер 2-3"},
            {25, "Расстояние: 1,500 км"},
            {26, "Затухание: 0,330 дБ"},
            {27, "Коэф. затух.: 0,220 дБ/км"}};
}

TMainSettings Flags(bool setNum, bool worker, bool caption, bool fileName) {
    TMainSettings s;
    s.ShowSetNum = setNum;
    s.SetNum = "17-Б";
    s.ShowWorkerNum = worker;
    s.WorkerNum = "0042";
    s.ShowFileCaption = caption;
    s.ShowFileName = fileName;
    return s;
}

const QSize kGraph{800, 400};
const TRect kQueueFrame{0, 0, 1000, 500};

} // namespace

TEST(TracePage, TheLinesFollowTheSettingsAndTheTracesValuesInBothVariants) {
    struct Row {
        const char* name;
        TMainSettings settings;
        bool store;
        std::function<void(TTracePageData&)> change;
        std::map<int, QString> changed; // lines that differ from KnownLines()
        std::set<int> absent;
    };
    const std::vector<Row> rows = {
        {"every line", Flags(true, true, true, true), true, {}, {}, {}},
        {"the first start's settings", TMainSettings{}, true, {}, {{4, "Табельный №0000"}}, {3, 5, 6}},
        {"the file name without the batch number", Flags(false, false, false, true), true, {}, {}, {3, 4, 5}},
        {"no trace store: no title, no file name", Flags(true, true, true, true), false, {}, {}, {5, 6}},
        {"nothing measured",
         Flags(false, true, false, false),
         true,
         [](TTracePageData& d) {
             d.CursorPos = -1;
             d.Distance12 = d.Distance23 = 0;
             d.WaveLength = d.Range = d.GroupIndex = 0;
             d.Attenuator = -1;
             d.PulseWidth = d.Averages = 0;
             d.AveragingText.clear();
             d.ApproxMode = -1;
             d.ViewWidth = d.ViewHeight = 0;
         },
         {{7, "Расстояние: ***"},
          {8, "Коэф. затух.: ***"},
          {9, "Дефект: ***"},
          {10, "Длина волны: ***"},
          {11, "Ослабление: ***"},
          {12, "Диап.длин: ***"},
          {13, "X: 0,00 км"},
          {14, "Y: 0,00 дБ"},
          {15, "Импульс: ***"},
          {16, "Усреднение: ***"},
          {17, "Метод усред.: ***"},
          {18, "Аппроксимация: ***"},
          {19, "No: ***"},
          {21, "Расстояние: ***"},
          {22, "Затухание: ***"},
          {23, "Коэф. затух.: ***"},
          {25, "Расстояние: ***"},
          {26, "Затухание: ***"},
          {27, "Коэф. затух.: ***"}},
         {3, 5, 6}},
        {"markers 1 and 2 only",
         Flags(false, true, false, false),
         true,
         [](TTracePageData& d) { d.Distance23 = 0; },
         {{9, "Дефект: ***"}, {25, "Расстояние: ***"}, {26, "Затухание: ***"}, {27, "Коэф. затух.: ***"}},
         {3, 5, 6}},
        {"no cursor, and the smallest values that print",
         Flags(false, true, false, false),
         true,
         [](TTracePageData& d) {
             d.CursorPos = -1;
             d.Attenuator = 0;
             d.PulseWidth = 1;
             d.Averages = 1;
             d.ApproxMode = 0;
         },
         {{7, "Расстояние: ***"},
          {11, "Ослабление: 0,00 дБ"},
          {15, "Импульс: 1 нс"},
          {16, "Усреднение: 1 (2^0)"},
          {18, "Аппроксимация: ДТМ"}},
         {3, 5, 6}},
    };
    const auto graph = GraphPicture(kGraph.width(), kGraph.height());
    for (const Row& row : rows) {
        TTracePageData data = Known();
        data.HasStore = row.store;
        if (row.change) row.change(data);
        std::map<int, QString> lines = KnownLines();
        for (const auto& [line, text] : row.changed)
            lines[line] = text;
        std::vector<std::string> expected;
        std::vector<int> numbers;
        for (const auto& [line, text] : lines)
            if (!row.absent.count(line)) {
                expected.push_back(text.toStdString());
                numbers.push_back(line);
            }
        for (TTracePageLayout layout : {TTracePageLayout::SideColumn, TTracePageLayout::Compact}) {
            const std::string where =
                std::string(row.name) + (layout == TTracePageLayout::Compact ? ", compact" : ", side column");
            const TComposedPage page =
                StandardPage(kGraph, kQueueFrame, layout, data, row.settings, Context());
            const lvtest::RecordedPage recorded = Record(page, *graph);
            ASSERT_EQ(Texts(recorded), expected) << where;
            const std::vector<lvtest::RecordedLine> drawn = recorded.TextLines();
            for (size_t i = 0; i < numbers.size(); ++i) {
                const QFont& font = drawn[i].Font;
                EXPECT_EQ(font.bold(), numbers[i] >= 7 && numbers[i] <= 9)
                    << where << ", line " << numbers[i];
                EXPECT_EQ(font.family(), QStringLiteral("Times New Roman")) << where;
            }
        }
    }
}

TEST(TracePage, TheSideColumnStandsLeftOfTheGraphAndTheCompactBlockUnderItInThreeColumns) {
    const auto graph = GraphPicture(kGraph.width(), kGraph.height());
    const TMainSettings settings = Flags(true, true, true, true);
    // The box of a line as drawn (every line of Known() is drawn, in order).
    auto box = [](const lvtest::RecordedPage& r, const TComposedPage& page, int line) {
        const std::vector<lvtest::RecordedLine> drawn = r.TextLines();
        EXPECT_EQ(drawn.size(), page.Texts.size());
        for (size_t i = 0; i < page.Texts.size() && i < drawn.size(); ++i)
            if (page.Texts[i].Line == line) return drawn[i].Box;
        ADD_FAILURE() << "no line " << line;
        return QRectF();
    };

    const TComposedPage side =
        StandardPage(kGraph, kQueueFrame, TTracePageLayout::SideColumn, Known(), settings, Context());
    const lvtest::RecordedPage s = Record(side, *graph);
    for (const auto& [text, b] : s.Texts)
        EXPECT_LE(b.right(), side.GraphAt.x()) << text.toStdString();
    // The time at the right end of the date's row; the marker sections indented.
    EXPECT_NEAR(box(s, side, 2).top(), box(s, side, 1).top(), 0.5);
    EXPECT_NEAR(box(s, side, 2).right(), side.GraphAt.x() - 3, 2);
    EXPECT_NEAR(box(s, side, 21).left() - box(s, side, 20).left(), 18, 1);
    EXPECT_NEAR(box(s, side, 24).left(), box(s, side, 20).left(), 0.5);

    const TComposedPage compact =
        StandardPage(kGraph, kQueueFrame, TTracePageLayout::Compact, Known(), settings, Context());
    EXPECT_EQ(compact.GraphAt, QPoint(1, 1));
    const lvtest::RecordedPage c = Record(compact, *graph);
    for (const auto& [text, b] : c.Texts)
        EXPECT_GE(b.top(), kGraph.height() + 1) << text.toStdString();
    // Three columns from the same row: the date, the wavelength, "Маркер 1-2".
    const QRectF first = box(c, compact, 1), second = box(c, compact, 10), third = box(c, compact, 20);
    EXPECT_NEAR(second.top(), first.top(), 0.5);
    EXPECT_NEAR(third.top(), first.top(), 0.5);
    const int column = (kGraph.width() - 4) / 3;
    EXPECT_NEAR(second.left(), column + 2, 1);
    EXPECT_NEAR(third.left(), 2 * column + 4, 1);
    // The time on its own line, left-aligned, under the date.
    EXPECT_NEAR(box(c, compact, 2).left(), first.left(), 0.5);
    EXPECT_GT(box(c, compact, 2).top(), first.top());
    EXPECT_NEAR(box(c, compact, 21).left() - third.left(), 18, 1);
}

TEST(TracePage, TheFontShrinksToThePitchOfItsLines) {
    struct Row {
        TTracePageLayout layout;
        QSize graph;
        TRect frame;
        TMainSettings settings;
        int font; // pixels; the full font is 19
    };
    const auto side = TTracePageLayout::SideColumn, compact = TTracePageLayout::Compact;
    ASSERT_EQ(PageFontHeight(), 19);
    const Row rows[] = {
        // 26 lines in 479 pixels of a queue frame of "3 кадра".
        {side, kGraph, {0, 0, 1000, 483}, Flags(false, true, false, false), 16},
        {side, kGraph, {0, 0, 1000, 1000}, Flags(false, true, false, false), 19},
        {side, kGraph, {0, 0, 1000, 250}, Flags(false, true, false, false), 13},
        {side, kGraph, {0, 0, 1000, 250}, Flags(true, true, true, true), 11},
        // Too little room: a pitch of 2 or less leaves the font as it is.
        {side, {100, 60}, {0, 0, 125, 60}, Flags(false, false, false, false), 19},
        {compact, kGraph, kQueueFrame, Flags(true, true, true, true), 19},
        {compact, {800, 150}, kQueueFrame, Flags(false, true, false, false), 12},
    };
    for (const Row& r : rows) {
        const TComposedPage page = StandardPage(r.graph, r.frame, r.layout, Known(), r.settings, Context());
        const lvtest::RecordedPage recorded = Record(page, *GraphPicture(r.graph.width(), r.graph.height()));
        ASSERT_FALSE(recorded.TextFonts.empty());
        for (const QFont& f : recorded.TextFonts) {
            EXPECT_EQ(f.pixelSize(), r.font) << r.frame.Bottom << " × " << r.graph.height();
        }
    }
}

TEST(TracePage, EverythingDrawnLiesInsideThePicture) {
    // One failure per page: the first thing drawn outside it.
    auto inside = [](const lvtest::RecordedPage& r, const QSize& size, const std::string& where) {
        const QRectF page(QPointF(0, 0), QSizeF(size));
        for (const QRectF& rect : r.Rects)
            if (!page.contains(rect)) return ADD_FAILURE() << where << ": a rectangle at " << rect.bottom();
        for (const QLineF& l : r.Lines)
            if (!page.contains(l.p1()) || !page.contains(l.p2())) return ADD_FAILURE() << where << ": a line";
        for (const auto& [text, box] : r.Texts)
            if (box.left() < 0 || box.right() > size.width() || !page.contains(box.center()))
                return ADD_FAILURE() << where << ": " << text.toStdString();
    };
    TMainSettings framed = Flags(true, true, true, true);
    framed.ParamsBorder = framed.GraphBorder = true;
    TMainSettings plain = Flags(false, true, false, false);
    plain.ParamsBorder = true;

    // The queue's frame of "3 кадра" for an 800 × 400 graph: the column's last line ends at 488
    // (16-pixel font, 26 steps of 18 under the first line's bottom at 20), under the 485 the
    // scaled frame gives.
    const TComposedPage tight =
        StandardPage(kGraph, {0, 0, 1000, 483}, TTracePageLayout::SideColumn, Known(), plain, Context());
    EXPECT_EQ(tight.Size.height(), 488);
    inside(Record(tight, *GraphPicture(800, 400)), tight.Size, "the frame of 3 кадра");

    for (const QSize graph : {QSize(800, 400), QSize(700, 320), QSize(300, 120), QSize(60, 40)})
        for (int height = 40; height <= 1300; height += 9)
            for (const TMainSettings& settings : {framed, plain})
                for (TTracePageLayout layout : {TTracePageLayout::SideColumn, TTracePageLayout::Compact}) {
                    const TRect frame{0, 0, graph.width() * 5 / 4, height};
                    const TComposedPage page =
                        StandardPage(graph, frame, layout, Known(), settings, Context());
                    const std::string where = std::to_string(graph.width()) + " × " +
                                              std::to_string(graph.height()) + " in a frame " +
                                              std::to_string(height) + " high";
                    inside(Record(page, *GraphPicture(graph.width(), graph.height())), page.Size, where);
                    if (layout == TTracePageLayout::Compact) break; // the frame does not shape it
                }
    // A frame too small to scale into gives the picture-file frame, not a division by zero.
    const TComposedPage degenerate =
        StandardPage(kGraph, {0, 0, 4, 3}, TTracePageLayout::SideColumn, Known(), plain, Context());
    EXPECT_EQ(degenerate.Size,
              StandardPage(kGraph, {0, 0, 1000, 400}, TTracePageLayout::SideColumn, Known(), plain, Context())
                  .Size);
}

TEST(TracePage, FramesSurroundTheParameterBlockAndTheGraph) {
    for (TTracePageLayout layout : {TTracePageLayout::SideColumn, TTracePageLayout::Compact})
        for (int borders = 0; borders < 4; ++borders) {
            TMainSettings s = Flags(false, true, false, false);
            s.ParamsBorder = borders & 1;
            s.GraphBorder = borders & 2;
            const TComposedPage page = StandardPage(kGraph, kQueueFrame, layout, Known(), s, Context());
            ASSERT_EQ(page.Frames.size(), size_t(s.ParamsBorder) + size_t(s.GraphBorder));
            const TRect graph{page.GraphAt.x(), page.GraphAt.y(), page.GraphAt.x() + kGraph.width(),
                              page.GraphAt.y() + kGraph.height()};
            for (const TRect& f : page.Frames) {
                const bool holdsGraph = f.United(graph) == f;
                bool holdsTexts = true;
                for (const TPageText& t : page.Texts)
                    holdsTexts = holdsTexts && f.United(t.Rect) == f;
                // One frame holds the graph, the other the parameter block; each spans the page
                // across (compact) or from top to bottom (side column).
                EXPECT_NE(holdsGraph, holdsTexts) << borders;
                if (s.ParamsBorder && !s.GraphBorder) {
                    EXPECT_TRUE(holdsTexts);
                }
                if (s.GraphBorder && !s.ParamsBorder) {
                    EXPECT_TRUE(holdsGraph);
                }
                if (layout == TTracePageLayout::Compact)
                    EXPECT_TRUE(f.Left == 0 && f.Right == page.Size.width()) << borders;
                else
                    EXPECT_TRUE(f.Top == 0 && f.Bottom == page.Size.height()) << borders;
            }
        }
}

TEST(TracePage, ThePagesFontsAreTheMetricTwinsOfTheWindowsFaces) {
    // Without " Cyr" after the face name: fontconfig gives DejaVu Sans for that.
    EXPECT_EQ(QFontInfo(PageFont(19, false)).family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(QFontInfo(PageFont(19, true)).family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Arial"))).family(), QStringLiteral("Liberation Sans"));
}

TEST(TracePage, TheValuesAreThoseOfTheItemComposed) {
    TMainGraph g;
    lvtest::SizeContent(g, 600, 300);
    TMainDataItem* item = lvtest::AddTrace(g, lvtest::Fibre(400, 3), 0.02, 0, "Волокно 3");
    item->SetMarkerPos(0, 1.0);
    item->SetMarkerPos(1, 3.0);
    item->SetCursorPos(4.0);
    item->SetTextParam(QStringLiteral("CID"), QStringLiteral("K-7"));
    const TTracePageData d = TracePageData(item, TRealRect{1, -2, 6, 28});
    EXPECT_TRUE(d.HasStore);
    EXPECT_EQ(d.Caption, QStringLiteral("Волокно 3"));
    EXPECT_DOUBLE_EQ(d.CursorPos, 4.0);
    EXPECT_DOUBLE_EQ(d.Distance12, item->TraceValue(tvLength12));
    EXPECT_GT(d.Distance12, 1.9);
    EXPECT_DOUBLE_EQ(d.Loss12, item->TraceValue(tvLoss12));
    EXPECT_EQ(d.Distance23, 0);
    EXPECT_DOUBLE_EQ(d.GroupIndex, lvtest::kTestIndex);
    EXPECT_DOUBLE_EQ(d.ViewWidth, 5);
    EXPECT_DOUBLE_EQ(d.ViewHeight, 30);
    EXPECT_EQ(d.ApproxMode, item->ApproxMode());
    EXPECT_EQ(d.Texts.value(QStringLiteral("CID")), QStringLiteral("K-7"));
    EXPECT_TRUE(d.MeasuredAt.has_value());

    const TTracePageData none = TracePageData(nullptr, TRealRect{0, 0, 2, 3});
    EXPECT_FALSE(none.HasStore);
    EXPECT_LT(none.CursorPos, 0);
    EXPECT_EQ(none.ApproxMode, -1);
    EXPECT_FALSE(none.MeasuredAt.has_value());
}

// ---- the batch page -----------------------------------------------------------------------------------

TEST(BatchPage, ItsTextsInEnglishAndInRussian) {
    // English and Russian, in the order they are written.
    const std::pair<const char*, const char*> lines[] = {
        {"Lumvaris", "Lumvaris"},
        {"05.03.2024", "05.03.2024"},
        {"Trace: /data/131/012.tra", "Трасса: /data/131/012.tra"},
        {"Measurement Date and Time: 14.02.24, 3:04:05 pm", "Дата и время измерения: 14.02.24, 15:04:05"},
        {"Cabel ID: K-7", "Кабель: K-7"},
        {"Fiber ID: 12", "Волокно: 12"},
        {"Orig. Loc: ***", "Начало: ***"},
        {"Term. Loc: Узел Б", "Конец: Узел Б"},
        {"Operator: 0042", "Оператор: 0042"},
        {"OTDR: ABC   MF #123, module *** #456", "Прибор: ABC   MF #123, модуль *** #456"},
        {"Range:", "Диапазон:"},
        {"40 km", "40 км"},
        {"Pulswidth:", "Ширина импульса:"},
        {"100 ns", "100 нс"},
        {"Wavelength:", "Длина волны:"},
        {"1,55 mkm", "1,55 мкм"},
        {"Approximation:", "Аппроксимация:"},
        {"LSA", "АПР"},
        {"Refractive Index:", "Коэф. преломления:"},
        {"1,4681", "1,4681"},
        {"Total Fiber", "Итоговая"},
        {"Information:", "Информация:"},
        {"Markers 1-2", "Маркеры 1-2"},
        {"Markers 2-3", "Маркеры 2-3"},
        {"Length: 5,250 km", "Расст.: 5,250 км"},
        {"Atten.: 0,325 dB/km", "Затух.: 0,325 дБ/км"},
        {"Length: 2,500 km", "Расст.: 2,500 км"},
        {"Loss: 0,813 dB", "Потери: 0,813 дБ"},
        {"Atten: 0,325 dB/km", "Затух.: 0,325 дБ/км"},
        {"Length: 1,500 km", "Расст.: 1,500 км"},
        {"Loss: 0,330 dB", "Потери: 0,330 дБ"},
        {"Atten: 0,220 dB/km", "Затух.: 0,220 дБ/км"},
    };
    const std::set<int> bold = {0, 2, 20, 21, 22, 23};
    const auto graph = GraphPicture(kGraph.width(), 600);
    for (bool russian : {false, true}) {
        const TComposedPage page = BatchPage({kGraph.width(), 600}, russian, Known(), {}, Context());
        const lvtest::RecordedPage recorded = Record(page, *graph);
        std::vector<std::string> expected;
        for (const auto& [english, rus] : lines)
            expected.push_back(russian ? rus : english);
        ASSERT_EQ(Texts(recorded), expected) << russian;
        const std::vector<lvtest::RecordedLine> drawn = recorded.TextLines();
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(drawn[i].Font.bold(), bold.count(int(i)) > 0) << expected[i];
    }

    // A trace without a store or a file: the caption names it, the measurement time is unknown.
    TTracePageData bare = Known();
    bare.FileName.clear();
    bare.MeasuredAt.reset();
    const std::vector<std::string> texts =
        Texts(Record(BatchPage({800, 600}, false, bare, {}, Context()), *graph));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Trace: Барабан 12"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Measurement Date and Time: ***"), 1);
}

TEST(BatchPage, TheMeasurementTimeInTwelveOrTwentyFourHours) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    struct Row {
        QTime time;
        const QLocale* locale;
        const char* english;
        const char* russian;
    };
    const Row rows[] = {
        {QTime(0, 5, 9), &kRussian, "7.01.09, 12:05:09 am", "7.01.09, 0:05:09"},
        {QTime(11, 59, 59), &kRussian, "7.01.09, 11:59:59 am", "7.01.09, 11:59:59"},
        {QTime(12, 0, 0), &kRussian, "7.01.09, 12:00:00 pm", "7.01.09, 12:00:00"},
        {QTime(23, 1, 2), &kRussian, "7.01.09, 11:01:02 pm", "7.01.09, 23:01:02"},
        {QTime(23, 1, 2), &english, "7/01/09, 11:01:02 pm", "7/01/09, 23:01:02"},
    };
    for (const Row& r : rows) {
        const QDateTime at(QDate(2009, 1, 7), r.time);
        EXPECT_EQ(MeasurementTimeText(at, false, *r.locale), QString::fromUtf8(r.english));
        EXPECT_EQ(MeasurementTimeText(at, true, *r.locale), QString::fromUtf8(r.russian));
    }
}

TEST(BatchPage, ASmallGraphKeepsItsTextReadableAndUncovered) {
    struct Row {
        int pitch, font;
    };
    for (Row r : {Row{-20, 19}, Row{0, 19}, Row{2, 19}, Row{3, 6}, Row{18, 36}, Row{19, 38}, Row{40, 38}})
        EXPECT_EQ(BatchTitleFontHeight(r.pitch, 19), r.font) << r.pitch;

    TMainSettings framed;
    framed.ParamsBorder = framed.GraphBorder = true;
    for (int height : {20, 100, 250, 300, 400, 440, 600, 900}) {
        const QSize graph(700, height);
        const TComposedPage page = BatchPage(graph, true, Known(), framed, Context());
        const lvtest::RecordedPage recorded = Record(page, *GraphPicture(700, height));
        const std::string where = std::to_string(height);
        // Above the graph only, and inside the page.
        for (const TPageText& t : page.Texts) {
            EXPECT_LT(t.Rect.Bottom, page.GraphAt.y()) << where << ": " << t.Text.toStdString();
            EXPECT_LE(t.FontHeight, 2 * PageFontHeight()) << where;
        }
        for (const QLine& l : page.Rules)
            EXPECT_LT(std::max(l.y1(), l.y2()), page.GraphAt.y()) << where;
        const QRectF inside(QPointF(0, 0), QSizeF(page.Size));
        for (const QRectF& rect : recorded.Rects)
            EXPECT_TRUE(inside.contains(rect)) << where;
        EXPECT_GE(page.Size.height(), page.GraphAt.y() + height) << where;
        // The graph's area keeps its place under a block that fits.
        const int h = std::max(height, kBatchMinGraphHeight);
        if (height >= 440) {
            EXPECT_EQ(page.GraphAt, QPoint(1, 2 * h - 199)) << where;
        }
        EXPECT_GE(page.GraphAt.y(), 2 * h - 199) << where;
        ASSERT_EQ(page.Frames.size(), 2u);
        EXPECT_EQ(page.Frames[1].Top, page.GraphAt.y() - 1) << where;
    }
}

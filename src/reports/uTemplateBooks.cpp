#include "reports/uTemplateBooks.h"

#include "formats/FileErrors.h"

namespace lv {

const TProtocolLayout kVhPasportLayout{
    "Протокол",
    4, 2,   // line
    4, 9,   // date
    6, 3,   // cable mark
    6, 9,   // drum
    14, 4,  // marks
    15, 5,  // length by the marks
    26,     // fibre n in row n + 26: rows 27..326
    4, 6, 8,
    331, 5, // operator
    326,
};

const TProtocolLayout kPrPasportLayout{
    "Протокол",
    4, 2,
    4, 9,
    7, 3,
    6, 5,
    9, 7,
    10, 5,
    21,     // rows 22..321
    4, 6, 8,
    332, 5,
    321,
};

namespace {

using L = TConstructionLayout;

// Cell styles shared by the sheets of one workbook.
struct Styles {
    int title, subtitle, bold, field, dateField, header, headerLeft, fibreNumber, tableText, length, loss, tableBottom;
    explicit Styles(TBookModel& b) {
        TBookStyle s;
        s.Bold = true;
        s.FontSizePt = 13;
        s.Align = THorzAlign::Center;
        title = b.AddStyle(s);
        s = {};
        s.Align = THorzAlign::Center;
        subtitle = b.AddStyle(s);
        s = {};
        s.Bold = true;
        bold = b.AddStyle(s);
        // A field the report fills: underlined like a form.
        s = {};
        s.BorderBottom = true;
        s.Align = THorzAlign::Left;
        field = b.AddStyle(s);
        s.NumberFormat = "DD.MM.YYYY";
        dateField = b.AddStyle(s);
        s = {};
        s.Boxed();
        s.Bold = true;
        s.Wrap = true;
        s.Align = THorzAlign::Center;
        s.VertCenter = true;
        header = b.AddStyle(s);
        s.Align = THorzAlign::Left;
        headerLeft = b.AddStyle(s);
        // Table rows: vertical lines only; the report draws the line under the last fibre.
        s = {};
        s.BorderLeft = s.BorderRight = true;
        s.Align = THorzAlign::Center;
        s.NumberFormat = "0";
        fibreNumber = b.AddStyle(s);
        s.NumberFormat = "";
        tableText = b.AddStyle(s);
        s.NumberFormat = "0";
        s.Align = THorzAlign::Right;
        length = b.AddStyle(s);
        s.NumberFormat = "0.000";
        loss = b.AddStyle(s);
        s = {};
        s.BorderTop = true;
        tableBottom = b.AddStyle(s);
    }
    int number(TBookModel& b, const char* format) {
        TBookStyle s;
        s.NumberFormat = format;
        return b.AddStyle(s);
    }
};

std::string cell(const char* column, int row, bool absolute = false) {
    return absolute ? std::string("[.$") + column + "$" + std::to_string(row) + "]"
                    : std::string("[.") + column + std::to_string(row) + "]";
}

std::string ref(const std::string& sheet, int row, int column) {
    return "[$'" + sheet + "'." + ColumnLetters(column) + std::to_string(row) + "]";
}

std::string localRange(int top, int column, int bottom) {
    return "[." + ColumnLetters(column) + std::to_string(top) + ":." + ColumnLetters(column) + std::to_string(bottom) + "]";
}

// --- inspection protocols ------------------------------------------------------------------------

TBookModel protocol(const TProtocolLayout& at, const std::string& title) {
    TBookModel book;
    Styles st(book);
    TBookSheet& s = book.AddSheet(at.Sheet);
    const double widths[] = {1.4, 2.2, 2.2, 2.2, 2.6, 2.6, 2.2, 2.6, 2.2};
    for (int c = 1; c <= 9; ++c) s.ColumnWidthCm[c] = widths[c - 1];

    s.Text(1, 1, title, st.title);
    s.Merge(1, 1, 1, 9);
    s.Text(2, 1, "по результатам измерений оптическим рефлектометром", st.subtitle);
    s.Merge(2, 1, 1, 9);

    s.Text(at.LineRow, at.LineColumn - 1, "Линия:");
    s.Style({at.LineRow, at.LineColumn, at.LineRow, at.LineColumn + 4}, st.field);
    s.Text(at.DateRow, at.DateColumn - 1, "Дата:");
    s.At(at.DateRow, at.DateColumn).Style = st.dateField;
    s.Text(at.MarkRow, 1, "Марка кабеля:");
    s.Style({at.MarkRow, at.MarkColumn, at.MarkRow, at.MarkColumn + 3}, st.field);
    s.Text(at.DrumRow, at.DrumColumn - (at.DrumColumn > 5 ? 1 : 4), "Номер барабана:");
    s.At(at.DrumRow, at.DrumColumn).Style = st.field;
    s.Text(at.MarksRow, 1, "Метки (начало; конец):");
    s.Style({at.MarksRow, at.MarksColumn, at.MarksRow, at.MarksColumn + 2}, st.field);
    s.Text(at.LengthRow, 1, "Длина кабеля по меткам, м:");
    s.At(at.LengthRow, at.LengthColumn).Style = st.field;

    // Norms the verdict columns compare with, below the header fields.
    const int normRow = at.LengthRow + 2;
    s.Text(normRow, 1, "Нормы километрического затухания, дБ/км, не более:");
    s.Text(normRow + 1, 2, "на длине волны 1310 нм");
    const int norm = st.number(book, "0.00");
    s.Number(normRow + 1, 6, 0.36, norm);
    s.Text(normRow + 2, 2, "на длине волны 1550 нм");
    s.Number(normRow + 2, 6, 0.22, norm);
    const std::string norm1310 = "[.$F$" + std::to_string(normRow + 1) + "]";
    const std::string norm1550 = "[.$F$" + std::to_string(normRow + 2) + "]";
    const std::string lengthRef = "[.$" + ColumnLetters(at.LengthColumn) + "$" + std::to_string(at.LengthRow) + "]";

    s.Text(at.HeaderRow() - 1, 1, "Результаты измерений", st.bold);
    const char* heads[] = {"№ ОВ", "Цвет модуля", "Цвет волокна", "Длина ОВ, м", "Отклонение от длины по меткам, %",
                           "Затухание на 1310 нм, дБ/км", "Оценка 1310 нм", "Затухание на 1550 нм, дБ/км",
                           "Оценка 1550 нм"};
    for (int c = 1; c <= 9; ++c) s.Text(at.HeaderRow(), c, heads[c - 1], st.header);

    // No merged cell below the header: the report deletes the unused rows of this block.
    for (int n = 1; n <= kMaxFibres; ++n) {
        const int r = n + at.FibreRowOffset;
        const std::string d = cell("D", r), f = cell("F", r), h = cell("H", r);
        s.Number(r, 1, n, st.fibreNumber);
        s.At(r, 2).Style = st.tableText;
        s.At(r, 3).Style = st.tableText;
        s.At(r, at.FibreLengthColumn).Style = st.length;
        s.Formula(r, 5, "of:=IF(OR(" + d + "=\"\";N(" + lengthRef + ")=0);\"\";(" + d + "-" + lengthRef + ")/" + lengthRef + "*100)",
                  st.length);
        s.At(r, 5).Value = TCellValue::Text("");
        s.At(r, at.Attenuation1310Column).Style = st.loss;
        s.Formula(r, 7, "of:=IF(" + f + "=\"\";\"\";IF(" + f + "<=" + norm1310 + ";\"норма\";\"выше нормы\"))", st.tableText);
        s.At(r, 7).Value = TCellValue::Text("");
        s.At(r, at.Attenuation1550Column).Style = st.loss;
        s.Formula(r, 9, "of:=IF(" + h + "=\"\";\"\";IF(" + h + "<=" + norm1550 + ";\"норма\";\"выше нормы\"))", st.tableText);
        s.At(r, 9).Value = TCellValue::Text("");
    }
    s.Style({at.LastRow + 1, 1, at.LastRow + 1, 9}, st.tableBottom);

    s.Text(at.OperatorRow - 3, 1, "Заключение:");
    s.Style({at.OperatorRow - 3, 3, at.OperatorRow - 3, 9}, st.field);
    s.Text(at.OperatorRow, 1, "Измерения провел:");
    s.Style({at.OperatorRow, at.OperatorColumn, at.OperatorRow, at.OperatorColumn + 2}, st.field);
    s.Text(at.OperatorRow + 2, 1, "Подпись:");
    s.Style({at.OperatorRow + 2, at.OperatorColumn, at.OperatorRow + 2, at.OperatorColumn + 2}, st.field);
    return book;
}

// --- construction documentation -----------------------------------------------------------------

void summarySheet(TBookSheet& s, Styles& st, TBookModel& book) {
    const int loss = st.number(book, "0.000");
    s.ColumnWidthCm[1] = 1.2;
    for (int c = 2; c <= 7; ++c) s.ColumnWidthCm[c] = c == 2 || c == 5 ? 3.0 : 2.0;
    s.ColumnWidthCm[8] = 0.4;
    s.ColumnWidthCm[9] = 0.4;
    for (int c = 3; c <= 7; ++c)
        if (c != 5) s.ColumnStyle[c] = loss;
    for (int c = L::SpliceColumn(1); c <= L::SummaryLastColumn; ++c) {
        s.ColumnStyle[c] = loss;
        s.ColumnWidthCm[c] = 1.7;
    }

    // The line's name goes to F1: the label before it ends within A..E.
    s.Text(L::LineRow, 1, "Исполнительная документация. Линия:", st.bold);
    s.Text(L::LineRow + 1, 1, "Потери в сростках оптических волокон");
    s.Text(L::SpliceNumberRow, 1, "Муфта №", st.bold);
    s.Text(L::SpliceHeaderRow, 1, "Измерение", st.bold);
    s.Text(L::SplicePositionRow, 1, "Расстояние, км", st.bold);
    const char* heads[] = {"№ ОВ", "Рефлектограмма A-B", "Потери A-B, дБ", "Затухание A-B, дБ/км",
                           "Рефлектограмма B-A", "Потери B-A, дБ", "Затухание B-A, дБ/км"};
    const int headRow = L::SummaryRowOffset - 1;
    for (int c = 1; c <= 7; ++c) {
        s.Text(headRow, c, heads[c - 1], st.header);
        s.Merge(headRow, c, 2, 1);
        s.At(headRow + 1, c).Style = st.header;
    }
    // The splice groups: the report reads each group's number back from row 3.
    for (int k = 1; k <= L::MaxSplices; ++k) {
        const int c = L::SpliceColumn(k);
        s.Number(L::SpliceNumberRow, c, k, st.header);
        s.Text(headRow, c, "A-B, дБ", st.header);
        s.Text(headRow, c + 1, "B-A, дБ", st.header);
        s.Text(headRow, c + 2, "Среднее, дБ", st.header);
    }
    for (int n = 1; n <= kMaxFibres; ++n) s.Number(n + L::SummaryRowOffset, 1, n, st.fibreNumber);
}

void meanLossSheet(TBookSheet& s, Styles& st, TBookModel& book) {
    const int loss = st.number(book, "0.000");
    const int first = L::MeanFirstRow;
    const int sumColumn = L::MaxSplices + 2, maxColumn = L::MaxSplices + 3; // BN, BO
    s.ColumnWidthCm[1] = 1.2;
    for (int c = 2; c <= maxColumn; ++c) {
        s.ColumnStyle[c] = loss;
        s.ColumnWidthCm[c] = 1.6;
    }
    s.Text(1, 1, "Средние потери в сростках, дБ", st.bold);
    s.Text(2, 1, "Линия:");
    s.Formula(2, 2, "of:=" + ref(L::Summary, L::LineRow, L::LineColumn));
    s.At(2, 2).Value = TCellValue::Text("");
    s.Text(first - 2, 1, "№ ОВ", st.header);
    s.Text(first - 1, 1, "", st.header);
    for (int k = 1; k <= L::MaxSplices; ++k) {
        const int c = L::SpliceColumn(k);
        // Empty, not 0, over the columns the report leaves after the last splice.
        const std::string number = ref(L::Summary, L::SpliceNumberRow, c);
        s.Formula(first - 2, k + 1, "of:=IF(ISBLANK(" + number + ");\"\";" + number + ")", st.header);
        s.At(first - 2, k + 1).Value = TCellValue::Num(k);
        s.Formula(first - 1, k + 1, "of:=IF(ISBLANK(" + ref(L::Summary, L::SpliceNumberRow, c + 1) + ");\"\";" +
                                         ref(L::Summary, L::SpliceNumberRow, c + 1) + ")", st.header);
        s.At(first - 1, k + 1).Value = TCellValue::Text("");
    }
    s.Text(first - 2, sumColumn, "Сумма, дБ", st.header);
    s.Text(first - 1, sumColumn, "", st.header);
    s.Text(first - 2, maxColumn, "Наибольшие, дБ", st.header);
    s.Text(first - 1, maxColumn, "", st.header);
    for (int n = 1; n <= kMaxFibres; ++n) {
        const int r = n + L::SummaryRowOffset;
        s.Number(r, 1, n, st.fibreNumber);
        for (int k = 1; k <= L::MaxSplices; ++k) {
            const std::string mean = ref(L::Summary, r, L::SpliceColumn(k) + 2);
            s.Formula(r, k + 1, "of:=IF(ISNUMBER(" + mean + ");" + mean + ";\"\")");
            s.At(r, k + 1).Value = TCellValue::Text("");
        }
        const std::string row = "[.B" + std::to_string(r) + ":.BM" + std::to_string(r) + "]";
        s.Formula(r, sumColumn, "of:=IF(COUNT(" + row + ")=0;\"\";SUM(" + row + "))");
        s.At(r, sumColumn).Value = TCellValue::Text("");
        s.Formula(r, maxColumn, "of:=IF(COUNT(" + row + ")=0;\"\";MAX(" + row + "))");
        s.At(r, maxColumn).Value = TCellValue::Text("");
    }
}

void measurementSheet(TBookSheet& s, Styles& st, TBookModel& book) {
    const int loss = st.number(book, "0.000");
    const int percent = st.number(book, "0.0");
    const int first = L::MeasurementRowOffset + 1;
    s.ColumnWidthCm[1] = 1.2;
    for (int c = 2; c <= L::MeasurementLastColumn; ++c) {
        s.ColumnWidthCm[c] = c == 2 || c == 5 ? 3.0 : 2.2;
        if (c != 2 && c != 5) s.ColumnStyle[c] = c >= 12 ? percent : loss;
    }
    s.Text(1, 1, "Результаты измерений оптических волокон", st.bold);
    s.Text(2, 1, "Линия:");
    s.Formula(2, 2, "of:=" + ref(L::Summary, L::LineRow, L::LineColumn));
    s.At(2, 2).Value = TCellValue::Text("");
    const char* heads[] = {"№ ОВ", "Рефлектограмма A-B", "Потери A-B, дБ", "Затухание A-B, дБ/км",
                           "Рефлектограмма B-A", "Потери B-A, дБ", "Затухание B-A, дБ/км", "Средние потери, дБ",
                           "Среднее затухание, дБ/км", "Сумма потерь в сростках, дБ", "Наибольшие потери в сростке, дБ",
                           "Сростков до 0,05 дБ, %", "Сростков до 0,1 дБ, %"};
    for (int c = 1; c <= L::MeasurementLastColumn; ++c) s.Text(first - 1, c, heads[c - 1], st.header);
    const int meanSum = L::MaxSplices + 2, meanMax = L::MaxSplices + 3;
    for (int n = 1; n <= kMaxFibres; ++n) {
        const int r = n + L::MeasurementRowOffset;
        const int sr = n + L::SummaryRowOffset;
        const int lr = sr + L::LossRowShift;
        s.Number(r, 1, n, st.fibreNumber);
        auto copy = [&](int column, const std::string& source) {
            s.Formula(r, column, "of:=IF(ISBLANK(" + source + ");\"\";" + source + ")");
            s.At(r, column).Value = TCellValue::Text("");
        };
        for (int c = 2; c <= 7; ++c) copy(c, ref(L::Summary, sr, c));
        auto mean = [&](int column, const char* a, const char* b) {
            const std::string x = cell(a, r), y = cell(b, r);
            s.Formula(r, column, "of:=IF(AND(ISNUMBER(" + x + ");ISNUMBER(" + y + "));(" + x + "+" + y + ")/2;\"\")");
            s.At(r, column).Value = TCellValue::Text("");
        };
        mean(8, "C", "F");
        mean(9, "D", "G");
        copy(10, ref(L::MeanLoss, sr, meanSum));
        copy(11, ref(L::MeanLoss, sr, meanMax));
        copy(12, ref(L::Losses, lr, 6));
        copy(13, ref(L::Losses, lr, 7));
    }
}

void lossSheet(TBookSheet& s, Styles& st, TBookModel& book) {
    const int percent = st.number(book, "0.0");
    const int first = L::SummaryRowOffset + 1 + L::LossRowShift; // 16
    s.ColumnWidthCm[1] = 1.2;
    for (int c = 2; c <= L::LossLastColumn; ++c) s.ColumnWidthCm[c] = 2.6;
    s.ColumnStyle[6] = percent;
    s.ColumnStyle[7] = percent;
    s.Text(1, 1, "Статистика потерь в сростках", st.bold);
    s.Text(2, 1, "Линия:");
    s.Formula(2, 2, "of:=" + ref(L::Summary, L::LineRow, L::LineColumn));
    s.At(2, 2).Value = TCellValue::Text("");
    const std::string d = localRange(first, 4, L::LossLastRow), f = localRange(first, 6, L::LossLastRow),
                      g = localRange(first, 7, L::LossLastRow);
    s.Text(4, 1, "Волокон в отчете:");
    s.Formula(4, 4, "of:=COUNT(" + d + ")");
    s.At(4, 4).Value = TCellValue::Num(0);
    s.Text(5, 1, "Средняя доля сростков с потерями не более 0,05 дБ, %:");
    s.Formula(5, 6, "of:=IF(COUNT(" + f + ")=0;\"\";AVERAGE(" + f + "))", percent);
    s.At(5, 6).Value = TCellValue::Text("");
    s.Text(6, 1, "Средняя доля сростков с потерями не более 0,1 дБ, %:");
    s.Formula(6, 7, "of:=IF(COUNT(" + g + ")=0;\"\";AVERAGE(" + g + "))", percent);
    s.At(6, 7).Value = TCellValue::Text("");
    const char* heads[] = {"№ ОВ", "Рефлектограмма", "Сростков", "До 0,05 дБ, шт.", "До 0,1 дБ, шт.",
                           "До 0,05 дБ, %", "До 0,1 дБ, %", "Примечание"};
    for (int c = 1; c <= L::LossLastColumn; ++c) s.Text(first - 1, c, heads[c - 1], st.header);
    for (int n = 1; n <= kMaxFibres; ++n) {
        const int r = first + n - 1, sr = n + L::SummaryRowOffset;
        s.Number(r, 1, n, st.fibreNumber);
        const std::string label = ref(L::Summary, sr, 2);
        s.Formula(r, 2, "of:=IF(ISBLANK(" + label + ");\"\";" + label + ")");
        s.At(r, 2).Value = TCellValue::Text("");
        const std::string means = "[$'" + std::string(L::MeanLoss) + "'.B" + std::to_string(sr) + ":.BM" + std::to_string(sr) + "]";
        s.Formula(r, 3, "of:=IF(COUNT(" + means + ")=0;\"\";COUNT(" + means + "))");
        s.At(r, 3).Value = TCellValue::Text("");
    }
    // The line under the table: the report deletes the rows above it, and adds the last column's.
    s.Style({L::LossLastRow + 1, 1, L::LossLastRow + 1, L::LossLastColumn - 1}, st.tableBottom);
}

void spliceSheet(TBookSheet& s, Styles& st, TBookModel& book) {
    const int loss = st.number(book, "0.000");
    const int first = L::SpliceRowOffset + 1;
    s.ColumnWidthCm[1] = 1.2;
    for (int c = 2; c <= 6; ++c) s.ColumnWidthCm[c] = c <= 3 ? 2.4 : 2.6;
    for (int c = 4; c <= 6; ++c) s.ColumnStyle[c] = loss;
    s.Text(1, 1, "Протокол измерения потерь в сростках муфты", st.title);
    s.Merge(1, 1, 1, 6);
    s.Text(2, 1, "Линия:");
    s.Formula(2, 2, "of:=" + ref(L::Summary, L::LineRow, L::LineColumn));
    s.At(2, 2).Value = TCellValue::Text("");
    s.Text(L::SpliceNumberCellRow, 1, "Муфта №", st.bold);
    s.At(L::SpliceNumberCellRow, L::SpliceNumberCellColumn).Style = st.field;
    s.Text(L::SpliceDateRow, L::SpliceDateColumn - 1, "Дата:");
    s.At(L::SpliceDateRow, L::SpliceDateColumn).Style = st.dateField;
    const std::string mean = localRange(first, 6, L::SpliceLastRow);
    s.Text(7, 1, "Средние потери в муфте, дБ:");
    s.Formula(7, 6, "of:=IF(COUNT(" + mean + ")=0;\"\";AVERAGE(" + mean + "))", loss);
    s.At(7, 6).Value = TCellValue::Text("");
    s.Text(8, 1, "Наибольшие потери в муфте, дБ:");
    s.Formula(8, 6, "of:=IF(COUNT(" + mean + ")=0;\"\";MAX(" + mean + "))", loss);
    s.At(8, 6).Value = TCellValue::Text("");
    const char* heads[] = {"№ ОВ", "Модуль", "Цвет волокна", "A-B, дБ", "B-A, дБ", "Среднее, дБ"};
    for (int c = 1; c <= 6; ++c) s.Text(first - 1, c, heads[c - 1], st.header);
    for (int n = 1; n <= kMaxFibres; ++n) s.Number(first + n - 1, 1, n, st.fibreNumber);
}

TBookModel construction() {
    TBookModel book;
    Styles st(book);
    summarySheet(book.AddSheet(L::Summary), st, book);
    meanLossSheet(book.AddSheet(L::MeanLoss), st, book);
    measurementSheet(book.AddSheet(L::Measurements), st, book);
    lossSheet(book.AddSheet(L::Losses), st, book);
    spliceSheet(book.AddSheet(L::Splice), st, book);
    return book;
}

} // namespace

std::vector<std::string> BuiltInTemplateNames() {
    return {"VhPasport", "PrPasport", "SimplePasport"};
}

TBookModel BuiltInTemplateModel(const std::string& name) {
    if (name == "VhPasport") return protocol(kVhPasportLayout, "ПРОТОКОЛ ВХОДНОГО КОНТРОЛЯ ОПТИЧЕСКОГО КАБЕЛЯ");
    if (name == "PrPasport") return protocol(kPrPasportLayout, "ПРОТОКОЛ ПРЕДМОНТАЖНОГО КОНТРОЛЯ ОПТИЧЕСКОГО КАБЕЛЯ");
    if (name == "SimplePasport") return construction();
    throw EListError("Нет встроенного шаблона отчета \"" + name + "\"");
}

std::vector<uint8_t> BuiltInTemplateData(const std::string& name) {
    const std::string xml = WriteFlatOds(BuiltInTemplateModel(name));
    return std::vector<uint8_t>(xml.begin(), xml.end());
}

} // namespace lv

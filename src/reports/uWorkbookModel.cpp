#include "reports/uWorkbookModel.h"

#include <charconv>
#include <cstdio>
#include <set>

#include "formats/FileErrors.h"

namespace lv {

// --- describing -------------------------------------------------------------------------------

void TBookSheet::Text(int row, int column, const std::string& text, int style) {
    TBookCell& c = At(row, column);
    c.Value = TCellValue::Text(text);
    c.Style = style;
}

void TBookSheet::Number(int row, int column, double value, int style) {
    TBookCell& c = At(row, column);
    c.Value = TCellValue::Num(value);
    c.Style = style;
}

void TBookSheet::Formula(int row, int column, const std::string& formula, int style) {
    TBookCell& c = At(row, column);
    c.Formula = formula;
    c.Style = style;
}

void TBookSheet::Style(const TCellRange& range, int style) {
    for (int r = range.Top; r <= range.Bottom; ++r)
        for (int c = range.Left; c <= range.Right; ++c) At(r, c).Style = style;
}

void TBookSheet::Merge(int row, int column, int rows, int columns) {
    TBookCell& c = At(row, column);
    c.MergeRows = rows;
    c.MergeColumns = columns;
}

TCellValue TBookSheet::Value(int row, int column) const {
    auto it = Cells.find({row, column});
    return it == Cells.end() ? TCellValue{} : it->second.Value;
}

int TBookModel::AddStyle(const TBookStyle& style) {
    for (size_t i = 0; i < Styles.size(); ++i)
        if (Styles[i] == style) return static_cast<int>(i);
    Styles.push_back(style);
    return static_cast<int>(Styles.size() - 1);
}

TBookSheet& TBookModel::AddSheet(const std::string& name) {
    Sheets.push_back(TBookSheet{});
    Sheets.back().Name = name;
    return Sheets.back();
}

const TBookSheet* TBookModel::FindSheet(const std::string& name) const {
    for (const auto& s : Sheets)
        if (s.Name == name) return &s;
    return nullptr;
}

// --- writing ------------------------------------------------------------------------------------

namespace {

std::string xmlEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string numberText(double v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string isoDate(TDateTime d) {
    const TDateTimeParts p = DecodeDateTime(d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.Year, p.Month, p.Day);
    return buf;
}

// Number formats the templates use, as OpenDocument data styles.
std::string dataStyle(const std::string& name, const std::string& format) {
    if (format == "DD.MM.YYYY")
        return "<number:date-style style:name=\"" + name +
               "\"><number:day number:style=\"long\"/><number:text>.</number:text>"
               "<number:month number:style=\"long\"/><number:text>.</number:text>"
               "<number:year number:style=\"long\"/></number:date-style>";
    const size_t dot = format.find('.');
    const size_t decimals = dot == std::string::npos ? 0 : format.size() - dot - 1;
    return "<number:number-style style:name=\"" + name + "\"><number:number number:decimal-places=\"" +
           std::to_string(decimals) + "\" number:min-decimal-places=\"" + std::to_string(decimals) +
           "\" number:min-integer-digits=\"1\"/></number:number-style>";
}

const char* const kThinLine = "0.74pt solid #000000";

std::string cellStyle(const std::string& name, const std::string& dataStyleName, const TBookStyle& s) {
    std::string x = "<style:style style:name=\"" + name + "\" style:family=\"table-cell\" style:parent-style-name=\"Default\"";
    if (!dataStyleName.empty()) x += " style:data-style-name=\"" + dataStyleName + "\"";
    x += "><style:table-cell-properties";
    auto border = [&](const char* side, bool on) {
        if (on) x += std::string(" fo:border-") + side + "=\"" + kThinLine + "\"";
    };
    border("left", s.BorderLeft);
    border("right", s.BorderRight);
    border("top", s.BorderTop);
    border("bottom", s.BorderBottom);
    if (s.Wrap) x += " fo:wrap-option=\"wrap\"";
    if (s.VertCenter) x += " style:vertical-align=\"middle\"";
    x += "/>";
    if (s.Align != THorzAlign::Default) {
        const char* a = s.Align == THorzAlign::Left ? "start" : s.Align == THorzAlign::Center ? "center" : "end";
        x += std::string("<style:paragraph-properties fo:text-align=\"") + a + "\"/>";
    }
    if (s.Bold || s.FontSizePt > 0) {
        x += "<style:text-properties";
        if (s.Bold) x += " fo:font-weight=\"bold\"";
        if (s.FontSizePt > 0) x += " fo:font-size=\"" + numberText(s.FontSizePt) + "pt\"";
        x += "/>";
    }
    return x + "</style:style>";
}

std::string cellXml(const TBookCell* c, int repeat) {
    std::string x = "<table:table-cell";
    if (repeat > 1) x += " table:number-columns-repeated=\"" + std::to_string(repeat) + "\"";
    if (!c) return x + "/>";
    if (c->Style) x += " table:style-name=\"ce" + std::to_string(c->Style) + "\"";
    if (c->MergeRows > 1 || c->MergeColumns > 1)
        x += " table:number-rows-spanned=\"" + std::to_string(c->MergeRows) + "\" table:number-columns-spanned=\"" +
             std::to_string(c->MergeColumns) + "\"";
    if (!c->Formula.empty()) x += " table:formula=\"" + xmlEscape(c->Formula) + "\"";
    const TCellValue& v = c->Value;
    std::string shown;
    switch (v.kind) {
    case TCellValue::Kind::Number:
        x += " office:value-type=\"float\" office:value=\"" + numberText(v.number) + "\"";
        shown = numberText(v.number);
        break;
    case TCellValue::Kind::Date:
        x += " office:value-type=\"date\" office:date-value=\"" + isoDate(v.number) + "\"";
        shown = isoDate(v.number);
        break;
    case TCellValue::Kind::Text:
        x += " office:value-type=\"string\"";
        shown = v.text;
        break;
    case TCellValue::Kind::Empty:
        break;
    }
    if (shown.empty()) return x + "/>";
    return x + "><text:p>" + xmlEscape(shown) + "</text:p></table:table-cell>";
}

std::string sheetXml(const TBookSheet& sheet) {
    int lastRow = 0, lastColumn = 1;
    std::set<std::pair<int, int>> covered;
    for (const auto& [pos, cell] : sheet.Cells) {
        lastRow = std::max(lastRow, pos.first + cell.MergeRows - 1);
        lastColumn = std::max(lastColumn, pos.second + cell.MergeColumns - 1);
        for (int r = 0; r < cell.MergeRows; ++r)
            for (int c = 0; c < cell.MergeColumns; ++c)
                if (r || c) covered.insert({pos.first + r, pos.second + c});
    }
    for (const auto& [col, w] : sheet.ColumnWidthCm) lastColumn = std::max(lastColumn, col);
    for (const auto& [col, s] : sheet.ColumnStyle) lastColumn = std::max(lastColumn, col);

    std::string x = "<table:table table:name=\"" + xmlEscape(sheet.Name) + "\">";
    // Columns: width style and default cell style, runs of equal columns written once.
    auto columnXml = [&](int col) {
        std::string c = "<table:table-column";
        auto w = sheet.ColumnWidthCm.find(col);
        c += " table:style-name=\"" + std::string(w == sheet.ColumnWidthCm.end() ? "co0" : "co" + std::to_string(col)) + "\"";
        auto s = sheet.ColumnStyle.find(col);
        c += " table:default-cell-style-name=\"" +
             (s == sheet.ColumnStyle.end() || s->second == 0 ? std::string("Default") : "ce" + std::to_string(s->second)) + "\"";
        return c;
    };
    for (int col = 1; col <= lastColumn;) {
        const std::string c = columnXml(col);
        int run = 1;
        // Columns with their own width have their own style name, so only plain ones repeat.
        while (col + run <= lastColumn && columnXml(col + run) == c) ++run;
        x += c + (run > 1 ? " table:number-columns-repeated=\"" + std::to_string(run) + "\"" : "") + "/>";
        col += run;
    }
    // Rows, runs of equal rows written once.
    std::string previous;
    int previousRun = 0;
    auto flushRows = [&] {
        if (!previousRun) return;
        if (previousRun > 1)
            previous.insert(std::string("<table:table-row").size(),
                            " table:number-rows-repeated=\"" + std::to_string(previousRun) + "\"");
        x += previous;
        previousRun = 0;
    };
    for (int row = 1; row <= lastRow; ++row) {
        std::string r = "<table:table-row>";
        int gap = 0;
        auto it = sheet.Cells.lower_bound({row, 0});
        for (int col = 1; col <= lastColumn; ++col) {
            const TBookCell* cell = nullptr;
            if (it != sheet.Cells.end() && it->first.first == row && it->first.second == col) cell = &(it++)->second;
            if (covered.count({row, col})) {
                if (gap) r += cellXml(nullptr, gap);
                gap = 0;
                r += "<table:covered-table-cell/>";
                continue;
            }
            if (!cell) {
                ++gap;
                continue;
            }
            if (gap) r += cellXml(nullptr, gap);
            gap = 0;
            r += cellXml(cell, 1);
        }
        if (gap) r += cellXml(nullptr, gap);
        r += "</table:table-row>";
        if (previousRun && r == previous) {
            ++previousRun;
        } else {
            flushRows();
            previous = r;
            previousRun = 1;
        }
    }
    flushRows();
    if (lastRow == 0) x += "<table:table-row><table:table-cell/></table:table-row>";
    return x + "</table:table>";
}

} // namespace

std::string WriteFlatOds(const TBookModel& book) {
    std::string x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
        " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
        " xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\""
        " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
        " xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\""
        " office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
        "<office:font-face-decls><style:font-face style:name=\"Arial\" svg:font-family=\"Arial\""
        " style:font-family-generic=\"swiss\" style:font-pitch=\"variable\"/></office:font-face-decls>\n"
        "<office:styles><style:default-style style:family=\"table-cell\"><style:text-properties"
        " style:font-name=\"Arial\" fo:font-size=\"10pt\"/></style:default-style>"
        "<style:style style:name=\"Default\" style:family=\"table-cell\"/></office:styles>\n"
        "<office:automatic-styles>";
    x += "<style:style style:name=\"co0\" style:family=\"table-column\"><style:table-column-properties"
         " style:column-width=\"2.258cm\"/></style:style>";
    for (size_t i = 1; i < book.Styles.size(); ++i) {
        const TBookStyle& s = book.Styles[i];
        std::string dataName;
        if (!s.NumberFormat.empty()) {
            dataName = "N" + std::to_string(i);
            x += dataStyle(dataName, s.NumberFormat);
        }
        x += cellStyle("ce" + std::to_string(i), dataName, s);
    }
    std::string body;
    for (size_t si = 0; si < book.Sheets.size(); ++si) {
        const TBookSheet& sheet = book.Sheets[si];
        std::string t = sheetXml(sheet);
        // Column width styles are named per sheet: "co<column>" inside the sheet becomes
        // "co<sheet>_<column>".
        for (const auto& [col, w] : sheet.ColumnWidthCm) {
            const std::string local = "table:style-name=\"co" + std::to_string(col) + "\"";
            const std::string global = "co" + std::to_string(si + 1) + "_" + std::to_string(col);
            for (size_t p; (p = t.find(local)) != std::string::npos;)
                t.replace(p, local.size(), "table:style-name=\"" + global + "\"");
            x += "<style:style style:name=\"" + global + "\" style:family=\"table-column\"><style:table-column-properties"
                 " style:column-width=\"" + numberText(w) + "cm\"/></style:style>";
        }
        body += t + "\n";
    }
    x += "</office:automatic-styles>\n<office:body><office:spreadsheet>\n";
    x += body;
    x += "</office:spreadsheet></office:body></office:document>\n";
    return x;
}

// --- reading ------------------------------------------------------------------------------------

namespace {

std::string xmlUnescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::string_view::npos) {
            out += s[i];
            continue;
        }
        const std::string_view ent = s.substr(i + 1, semi - i - 1);
        if (ent == "amp") out += '&';
        else if (ent == "lt") out += '<';
        else if (ent == "gt") out += '>';
        else if (ent == "quot") out += '"';
        else if (ent == "apos") out += '\'';
        else out += std::string("&") + std::string(ent) + ";";
        i = semi;
    }
    return out;
}

struct Tag {
    std::string name;
    std::map<std::string, std::string> attrs;
    bool closing = false, selfClosing = false;
};

Tag parseTag(std::string_view body) {
    Tag t;
    size_t i = 0;
    if (!body.empty() && body[0] == '/') {
        t.closing = true;
        ++i;
    }
    if (!body.empty() && body.back() == '/') {
        t.selfClosing = true;
        body.remove_suffix(1);
    }
    size_t nameEnd = body.find_first_of(" \t\r\n", i);
    t.name = std::string(body.substr(i, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - i));
    size_t p = nameEnd;
    while (p != std::string_view::npos && p < body.size()) {
        p = body.find_first_not_of(" \t\r\n", p);
        if (p == std::string_view::npos) break;
        const size_t eq = body.find('=', p);
        if (eq == std::string_view::npos || eq + 1 >= body.size()) break;
        const char quote = body[eq + 1];
        const size_t end = body.find(quote, eq + 2);
        if (end == std::string_view::npos) break;
        t.attrs[std::string(body.substr(p, eq - p))] = xmlUnescape(body.substr(eq + 2, end - eq - 2));
        p = end + 1;
    }
    return t;
}

int intAttr(const Tag& t, const char* name, int fallback) {
    auto it = t.attrs.find(name);
    if (it == t.attrs.end()) return fallback;
    int v = fallback;
    std::from_chars(it->second.data(), it->second.data() + it->second.size(), v);
    return v;
}

} // namespace

TBookModel ReadFlatOds(const std::string& xml) {
    if (xml.find("<office:document") == std::string::npos || xml.find("<office:spreadsheet") == std::string::npos)
        throw EInvalidDataFormat("Файл не является электронной таблицей OpenDocument");
    TBookModel book;
    TBookSheet* sheet = nullptr;
    int row = 0, column = 0, rowRepeat = 1;
    TBookCell pending;
    bool inCell = false, inParagraph = false;
    int cellRepeat = 1;
    std::string text;
    auto finishCell = [&] {
        if (!pending.Formula.empty() || pending.Value.kind != TCellValue::Kind::Empty || pending.MergeRows > 1 ||
            pending.MergeColumns > 1) {
            if (pending.Value.kind == TCellValue::Kind::Text) pending.Value.text = text;
            for (int k = 0; k < cellRepeat && k < 1024; ++k)
                for (int r = 0; r < rowRepeat && r < 1024; ++r) sheet->Cells[{row + r, column + k}] = pending;
        }
        column += cellRepeat;
        inCell = false;
    };
    for (size_t i = 0; i < xml.size();) {
        const size_t lt = xml.find('<', i);
        if (lt == std::string::npos) break;
        if (inParagraph && lt > i) text += xmlUnescape(std::string_view(xml).substr(i, lt - i));
        if (xml.compare(lt, 4, "<!--") == 0) {
            const size_t end = xml.find("-->", lt);
            i = end == std::string::npos ? xml.size() : end + 3;
            continue;
        }
        const size_t gt = xml.find('>', lt);
        if (gt == std::string::npos) break;
        i = gt + 1;
        if (xml[lt + 1] == '?') continue;
        const Tag t = parseTag(std::string_view(xml).substr(lt + 1, gt - lt - 1));
        if (t.name == "table:table" && !t.closing) {
            sheet = &book.AddSheet(t.attrs.count("table:name") ? t.attrs.at("table:name") : "");
            row = 0;
        } else if (!sheet) {
            continue;
        } else if (t.name == "table:table-row") {
            if (t.closing) {
                row += rowRepeat;
            } else {
                rowRepeat = std::max(1, intAttr(t, "table:number-rows-repeated", 1));
                column = 1;
                if (row == 0) row = 1;
                if (t.selfClosing) row += rowRepeat;
            }
        } else if (t.name == "table:table-cell" || t.name == "table:covered-table-cell") {
            if (t.closing) {
                if (inCell) finishCell();
                continue;
            }
            cellRepeat = std::max(1, intAttr(t, "table:number-columns-repeated", 1));
            pending = TBookCell{};
            text.clear();
            if (t.name == "table:table-cell") {
                pending.MergeRows = intAttr(t, "table:number-rows-spanned", 1);
                pending.MergeColumns = intAttr(t, "table:number-columns-spanned", 1);
                if (auto f = t.attrs.find("table:formula"); f != t.attrs.end()) pending.Formula = f->second;
                const auto type = t.attrs.find("office:value-type");
                if (type != t.attrs.end()) {
                    if (type->second == "string") {
                        pending.Value = TCellValue::Text("");
                    } else if (type->second == "date") {
                        const std::string d = t.attrs.count("office:date-value") ? t.attrs.at("office:date-value") : "";
                        TDateTime v = 0;
                        if (d.size() >= 10 &&
                            TryEncodeDate(std::atoi(d.substr(0, 4).c_str()), std::atoi(d.substr(5, 2).c_str()),
                                          std::atoi(d.substr(8, 2).c_str()), v))
                            pending.Value = TCellValue::Num(v);
                    } else if (auto v = t.attrs.find("office:value"); v != t.attrs.end()) {
                        double n = 0;
                        std::from_chars(v->second.data(), v->second.data() + v->second.size(), n);
                        pending.Value = TCellValue::Num(n);
                    }
                }
            }
            inCell = true;
            if (t.selfClosing) finishCell();
        } else if (t.name == "text:p" && inCell) {
            if (t.closing) {
                inParagraph = false;
            } else if (!t.selfClosing) {
                if (!text.empty()) text += '\n';
                inParagraph = true;
            }
        } else if (t.name == "text:s" && inParagraph) {
            text.append(static_cast<size_t>(std::max(1, intAttr(t, "text:c", 1))), ' ');
        }
    }
    return book;
}

} // namespace lv

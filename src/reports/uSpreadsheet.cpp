#include "reports/uSpreadsheet.h"

#include <cctype>
#include <cmath>

#include "formats/FileErrors.h"
#include "reports/uAliases.h"

namespace lv {

const char* const kMsgCannotStartOffice =
    "Не удается запустить LibreOffice Calc. Установите пакет libreoffice-calc и повторите попытку.";
const char* const kMsgOfficeNoAnswer =
    "LibreOffice Calc запущен, но не отвечает. Закройте все окна LibreOffice и повторите попытку.";
const char* const kMsgOfficeLost = "Связь с LibreOffice Calc прервана. Повторите попытку.";
const char* const kMsgOfficeFailed = "Ошибка LibreOffice Calc: %s.";
const char* const kMsgCannotOpenTemplate = "LibreOffice Calc не может открыть шаблон отчета \"%s\".";
const char* const kMsgNoSheet = "В книге нет листа \"%s\".";
const char* const kMsgBadSheetName = "Недопустимое имя листа \"%s\".";
const char* const kMsgSheetExists = "Лист с именем \"%s\" уже есть в книге.";
const char* const kMsgBadRange = "Неверный диапазон ячеек %s.";
const char* const kMsgBadColorIndex = "Неизвестный номер цвета %s.";
const char* const kMsgCannotStoreBook = "LibreOffice Calc не удается сохранить книгу в файл \"%s\".";

namespace {

constexpr size_t kMaxSheetNameChars = 31;

// Byte offsets where each UTF-8 character starts.
std::vector<size_t> charStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}

std::string cutChars(const std::string& s, size_t chars) {
    const auto starts = charStarts(s);
    return starts.size() <= chars ? s : s.substr(0, starts[chars]);
}

bool forbiddenInSheetName(char c) {
    return c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']';
}

} // namespace

std::string ColumnLetters(int column) {
    std::string s;
    for (int c = column; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

int ColumnNumber(const std::string& letters) {
    if (letters.empty() || letters.size() > 3) return 0;
    int n = 0;
    for (char ch : letters) {
        const int c = std::toupper(static_cast<unsigned char>(ch));
        if (c < 'A' || c > 'Z') return 0;
        n = n * 26 + (c - 'A' + 1);
    }
    return n;
}

void CheckRange(const TCellRange& r) {
    const bool ok = r.Top >= 1 && r.Left >= 1 && r.Bottom <= kMaxRows && r.Right <= kMaxColumns &&
                    r.Top <= r.Bottom && r.Left <= r.Right;
    if (!ok) {
        // The address as given, corners in the order they came.
        std::string text = ColumnLetters(r.Left) + std::to_string(r.Top) + ":" + ColumnLetters(r.Right) +
                           std::to_string(r.Bottom);
        if (r.Top < 1 || r.Left < 1 || r.Bottom < 1 || r.Right < 1)
            text = "(" + std::to_string(r.Top) + ", " + std::to_string(r.Left) + ")-(" + std::to_string(r.Bottom) +
                   ", " + std::to_string(r.Right) + ")";
        throw ESpreadsheetError(FormatS(kMsgBadRange, text));
    }
}

TCellRange ParseRange(const std::string& address) {
    auto bad = [&] { return ESpreadsheetError(FormatS(kMsgBadRange, address)); };
    auto corner = [&](const std::string& part, int& row, int& column) {
        size_t i = 0;
        std::string letters;
        if (i < part.size() && part[i] == '$') ++i;
        while (i < part.size() && std::isalpha(static_cast<unsigned char>(part[i]))) letters += part[i++];
        if (i < part.size() && part[i] == '$') ++i;
        std::string digits = part.substr(i);
        if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos)
            throw bad();
        column = ColumnNumber(letters);
        row = std::stoi(digits);
        if (column == 0) throw bad();
    };
    TCellRange r;
    const size_t colon = address.find(':');
    corner(address.substr(0, colon), r.Top, r.Left);
    if (colon == std::string::npos) {
        r.Bottom = r.Top;
        r.Right = r.Left;
    } else {
        corner(address.substr(colon + 1), r.Bottom, r.Right);
    }
    if (!(r.Top >= 1 && r.Left >= 1 && r.Bottom <= kMaxRows && r.Right <= kMaxColumns && r.Top <= r.Bottom &&
          r.Left <= r.Right))
        throw bad();
    return r;
}

std::string RangeAddress(const TCellRange& r) {
    std::string first = ColumnLetters(r.Left) + std::to_string(r.Top);
    if (r.Top == r.Bottom && r.Left == r.Right) return first;
    return first + ":" + ColumnLetters(r.Right) + std::to_string(r.Bottom);
}

bool IsValidSheetName(const std::string& name) {
    if (name.empty() || charStarts(name).size() > kMaxSheetNameChars) return false;
    if (name.front() == '\'' || name.back() == '\'') return false;
    for (char c : name)
        if (forbiddenInSheetName(c)) return false;
    return true;
}

std::string MakeSheetName(const std::string& wanted, const std::vector<std::string>& existing) {
    std::string base = wanted;
    for (char& c : base)
        if (forbiddenInSheetName(c)) c = '_';
    if (!base.empty() && base.front() == '\'') base.front() = '_';
    if (!base.empty() && base.back() == '\'') base.back() = '_';
    if (base.empty()) base = "_";
    auto taken = [&](const std::string& n) {
        for (const auto& e : existing)
            if (SameName(e, n)) return true;
        return false;
    };
    std::string name = cutChars(base, kMaxSheetNameChars);
    for (int n = 2; taken(name); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        name = cutChars(base, kMaxSheetNameChars - suffix.size()) + suffix;
    }
    return name;
}

int ColumnWidthHundredthsMm(double characters) {
    if (!(characters > 0)) return 0;
    return static_cast<int>(std::lround((characters * 7.0 + 5.0) / 96.0 * 2540.0));
}

unsigned ColorIndexRgb(int colorIndex) {
    static const unsigned kPalette[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    if (colorIndex < 1 || colorIndex > 8) throw ESpreadsheetError(FormatS(kMsgBadColorIndex, std::to_string(colorIndex)));
    return kPalette[colorIndex - 1];
}

void TNoSpreadsheetApp::Connect() {
    throw ESpreadsheetError(kMsgCannotStartOffice);
}

std::unique_ptr<ISpreadsheetBook> TNoSpreadsheetApp::AddBook(const std::string&) {
    throw ESpreadsheetError(kMsgCannotStartOffice);
}

} // namespace lv

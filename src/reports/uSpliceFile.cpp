#include "reports/uSpliceFile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"

namespace lv {

const char* const kMsgSpliceFileForeign = "Файл \"%s\" не является таблицей муфт.";
const char* const kMsgSpliceFileNewer = "Таблица муфт \"%s\" записана более новой версией программы.";
const char* const kMsgSpliceFileDamaged = "Таблица муфт \"%s\" повреждена (строка %d).";

namespace {

const char* const kMagic = "Lumvaris splice table ";

using Number = TOptKm TSpliceRecord::*;
struct NumberField {
    const char* name;
    Number member;
};
// In the order of the current layout, after MName.
const std::array<NumberField, 12> kNumberFields = {{
    {"MPosF", &TSpliceRecord::MPosF}, {"M1F", &TSpliceRecord::M1F},   {"M2F", &TSpliceRecord::M2F},
    {"MYF", &TSpliceRecord::MYF},     {"M3F", &TSpliceRecord::M3F},   {"MPosR", &TSpliceRecord::MPosR},
    {"M1R", &TSpliceRecord::M1R},     {"M2R", &TSpliceRecord::M2R},   {"MYR", &TSpliceRecord::MYR},
    {"M3R", &TSpliceRecord::M3R},     {"EndPt", &TSpliceRecord::EndPt}, {"SrtPt", &TSpliceRecord::SrtPt},
}};
const char* const kNameField = "MName";

std::string escapeName(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

bool unescapeName(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

std::string formatNumber(const TOptKm& v) {
    if (!v) return {};
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, *v);
    return std::string(buf, res.ptr);
}

bool parseNumber(const std::string& s, TOptKm& v) {
    if (s.empty()) {
        v.reset();
        return true;
    }
    double d = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(d)) return false;
    v = d;
    return true;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab - from));
        if (tab == std::string::npos) return parts;
        from = tab + 1;
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        from = end + 1;
    }
    return lines;
}

[[noreturn]] void damaged(const std::string& path, size_t lineNo) {
    // The number first: the path may hold "%d" itself.
    std::string pattern = kMsgSpliceFileDamaged;
    pattern.replace(pattern.find("%d"), 2, std::to_string(lineNo));
    throw EInvalidDataFormat(FormatS(pattern, path));
}

// One column of the file: the name, a number field, or (in a file's header) nothing else.
struct Column {
    bool isName = false;
    Number member = nullptr;
};

} // namespace

std::string SpliceFileKeepAsideQuestion(const std::string& reason, const std::string& sidePath) {
    return "Не удается прочитать таблицу муфт:\r\n" + reason +
           "\r\n\r\nЭтот файл не будет изменен. Сохранять таблицу муфт в файле \"" + sidePath + "\"?";
}

std::string SpliceFileName(const std::string& dataFolder, const std::string& lineName) {
    return dataFolder + lineName + ".mif";
}

std::string SpliceSideFileName(const std::string& path) {
    const std::string ext = ".mif";
    const bool hasExt = path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
    return (hasExt ? path.substr(0, path.size() - ext.size()) : path) + ".lumvaris.mif";
}

std::string EncodeSpliceFile(const std::vector<TSpliceRecord>& records) {
    std::string text = kMagic + std::to_string(kSpliceFileVersion) + "\n" + kNameField;
    for (const NumberField& f : kNumberFields) text += std::string("\t") + f.name;
    text += "\n";
    for (const TSpliceRecord& r : records) {
        text += escapeName(r.MName);
        for (const NumberField& f : kNumberFields) text += "\t" + formatNumber(r.*f.member);
        text += "\n";
    }
    return text;
}

std::vector<TSpliceRecord> DecodeSpliceFile(const std::string& text, const std::string& path) {
    std::string body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0) body.erase(0, 3); // a byte-order mark from an editor
    const std::vector<std::string> lines = splitLines(body);
    if (lines.empty() || lines[0].rfind(kMagic, 0) != 0) throw EInvalidDataFormat(FormatS(kMsgSpliceFileForeign, path));
    const std::string versionText = lines[0].substr(std::string(kMagic).size());
    int version = 0;
    const auto vr = std::from_chars(versionText.data(), versionText.data() + versionText.size(), version);
    if (vr.ec != std::errc() || vr.ptr != versionText.data() + versionText.size() || version < 1)
        throw EInvalidDataFormat(FormatS(kMsgSpliceFileForeign, path));
    if (version > kSpliceFileVersion) throw EInvalidDataFormat(FormatS(kMsgSpliceFileNewer, path));
    if (lines.size() < 2) damaged(path, 2);

    // The header says which field each column holds; a field it leaves out reads as empty.
    std::vector<Column> columns;
    for (const std::string& name : splitTabs(lines[1])) {
        Column col;
        if (name == kNameField) col.isName = true;
        for (const NumberField& f : kNumberFields)
            if (name == f.name) col.member = f.member;
        if (!col.isName && !col.member) damaged(path, 2);
        for (const Column& other : columns)
            if (other.isName == col.isName && other.member == col.member) damaged(path, 2);
        columns.push_back(col);
    }

    std::vector<TSpliceRecord> records;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const std::vector<std::string> values = splitTabs(lines[i]);
        if (values.size() != columns.size()) damaged(path, i + 1);
        TSpliceRecord r;
        for (size_t c = 0; c < columns.size(); ++c) {
            const bool ok = columns[c].isName ? unescapeName(values[c], r.MName)
                                              : parseNumber(values[c], r.*columns[c].member);
            if (!ok) damaged(path, i + 1);
        }
        records.push_back(std::move(r));
    }
    return records;
}

void SaveSpliceFile(const std::string& path, const std::vector<TSpliceRecord>& records) {
    const std::string text = EncodeSpliceFile(records);
    WriteFileReplacing(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<TSpliceRecord> LoadSpliceFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return DecodeSpliceFile(std::string(bytes.begin(), bytes.end()), path);
}

std::optional<TSpliceFileChoice> OpenSpliceFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string side = SpliceSideFileName(path);
    if (fs::exists(side, ec)) {
        try {
            return TSpliceFileChoice{side, LoadSpliceFile(side)};
        } catch (const Exception& e) {
            MessageDlg(e.Message(), TMsgDlgType::mtError, mbOK);
            return std::nullopt;
        }
    }
    if (!fs::exists(path, ec)) return TSpliceFileChoice{path, {}};
    try {
        return TSpliceFileChoice{path, LoadSpliceFile(path)};
    } catch (const Exception& e) {
        if (MessageDlg(SpliceFileKeepAsideQuestion(e.Message(), side), TMsgDlgType::mtConfirmation, mbYes | mbNo) != mrYes) return std::nullopt;
        return TSpliceFileChoice{side, {}};
    }
}

} // namespace lv

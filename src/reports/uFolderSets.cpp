#include "reports/uFolderSets.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace lv {

const char* const kSubFolder131 = "131/";
const char* const kSubFolder155 = "155/";
const char* const kSubFolderAB = "AB/";
const char* const kSubFolderBA = "BA/";

const char* const kMsgFolderHasNoData = "Папка \"%s\" не содержит файлов данных!";
const char* const kMsgSetHasNoData = "Указанная папка не содержит файлов данных!";
const char* const kMsgDirectionHasNoData = "Нет данных для данного направления!";
const char* const kMsgSetFilesSkipped = "Не удалось открыть файлы набора, они пропущены:";
const char* const kChooseMaskCaption = "Выбор маски файлов";
const char* const kChooseMaskText =
    "В указанной директории найдены несколько наборов данных.\r\n\r\nВыберите маску для Вашего набора данных.";

namespace {

bool isInspection(int mode) { return mode == pmIncoming || mode == pmPreInstall; }

// Lower case for comparing names: ASCII and the Cyrillic letters of UTF-8 (А-Я, Ѐ-Џ with Ё).
std::string foldCase(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xD0 && i + 1 < s.size()) {
            const auto n = static_cast<unsigned char>(s[i + 1]);
            if (n >= 0x90 && n <= 0x9F) { // А..П
                out += '\xD0';
                out += static_cast<char>(n + 0x20);
            } else if (n >= 0xA0 && n <= 0xAF) { // Р..Я
                out += '\xD1';
                out += static_cast<char>(n - 0x20);
            } else if (n >= 0x80 && n <= 0x8F) { // Ѐ..Џ
                out += '\xD1';
                out += static_cast<char>(n + 0x10);
            } else {
                out += static_cast<char>(c);
                out += static_cast<char>(n);
            }
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool hasExtension(const std::string& name, const std::string& foldedExtension) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && foldCase(name.substr(dot)) == foldedExtension;
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

} // namespace

std::string ModeName(int mode) {
    switch (mode) {
    case pmConstruction: return "Строительная документация";
    case pmIncoming: return "Входной контроль";
    case pmPreInstall: return "Предмонтажный контроль";
    default: return {};
    }
}

std::string DataFolderTitle(int mode) { return "Укажите путь к данным (" + ModeName(mode) + ")"; }

std::string DataFolderFilter(int mode) {
    std::string filter = "Папки|*.tra;*.sor";
    if (mode == pmConstruction) filter += ";*.mif";
    return filter;
}

std::vector<std::string> DataCheckSubFolders(int mode) {
    if (mode == pmConstruction) return {kSubFolderAB, kSubFolderBA};
    if (isInspection(mode)) return {kSubFolder131, kSubFolder155};
    return {};
}

std::vector<std::string> MaskSubFolders(int mode) {
    if (mode == pmConstruction) return {kSubFolderAB, kSubFolderBA};
    if (isInspection(mode)) return {kSubFolder155, kSubFolder131};
    return {};
}

std::string NormaliseDataFolder(const std::string& folder) {
    std::string s = folder;
    std::replace(s.begin(), s.end(), '\\', '/');
    return withSlash(s);
}

std::string LineNameOf(const std::string& folder) {
    std::string s = folder;
    std::replace(s.begin(), s.end(), '\\', '/');
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

std::string ShortTraceName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash == 0) return path;
    const size_t before = path.find_last_of("/\\", slash - 1);
    const size_t from = before == std::string::npos ? 0 : before + 1;
    return from == slash ? path.substr(slash + 1) : path.substr(from);
}

// ---- listings ------------------------------------------------------------------------------

std::vector<TFolderEntry> ReadFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<TFolderEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        const fs::file_status st = it->status(sec); // follows links
        if (sec) continue;
        if (fs::is_regular_file(st)) entries.push_back({it->path().filename().string(), false});
        else if (fs::is_directory(st)) entries.push_back({it->path().filename().string(), true});
    }
    return entries;
}

TFolderIndex::TFolderIndex(const std::string& folder, const TFolderReader& reader)
    : m_folder(withSlash(folder)) {
    for (TFolderEntry& e : reader(m_folder)) m_entries.push_back({foldCase(e.Name), std::move(e.Name), e.IsFolder});
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
    });
}

std::string TFolderIndex::find(const std::string& name, bool folder) const {
    const std::string key = foldCase(name);
    auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                               [](const Entry& e, const std::string& k) { return e.folded < k; });
    std::string found;
    for (; it != m_entries.end() && it->folded == key; ++it) {
        if (it->isFolder != folder) continue;
        if (it->name == name) return it->name;
        if (found.empty()) found = it->name;
    }
    return found;
}

std::string TFolderIndex::FindFile(const std::string& name) const { return find(name, false); }
std::string TFolderIndex::FindFolder(const std::string& name) const { return find(name, true); }

std::vector<std::string> TFolderIndex::FilesWithExtension(const std::string& extension) const {
    const std::string ext = foldCase(extension);
    std::vector<std::string> names;
    for (const Entry& e : m_entries)
        if (!e.isFolder && hasExtension(e.name, ext)) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string SubFolderPath(const std::string& dataFolder, const std::string& subFolder, const TFolderReader& reader) {
    const std::string folder = NormaliseDataFolder(dataFolder);
    std::string name = subFolder;
    while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
    const std::string real = TFolderIndex(folder, reader).FindFolder(name);
    return folder + (real.empty() ? name : real) + "/";
}

bool FolderHasData(const std::string& folder, const TFolderReader& reader) {
    const TFolderIndex index(folder, reader);
    return !index.FilesWithExtension(".tra").empty() || !index.FilesWithExtension(".sor").empty();
}

bool DataFolderHasData(const std::string& dataFolder, int mode, const TFolderReader& reader) {
    for (const std::string& sub : DataCheckSubFolders(mode))
        if (FolderHasData(SubFolderPath(dataFolder, sub, reader), reader)) return true;
    return false;
}

std::vector<std::string> ExistingSubFolders(const std::string& dataFolder, int mode, const TFolderReader& reader) {
    const TFolderIndex index(NormaliseDataFolder(dataFolder), reader);
    std::vector<std::string> found;
    for (const std::string& sub : DataCheckSubFolders(mode))
        if (!index.FindFolder(sub.substr(0, sub.size() - 1)).empty()) found.push_back(sub);
    return found;
}

// ---- masks ---------------------------------------------------------------------------------

std::string TFibreMask::FileName(int number, const std::string& extension) const {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < Width) digits.insert(0, static_cast<size_t>(Width) - digits.size(), '0');
    return Prefix + digits + extension;
}

std::string TFibreMask::Caption() const { return Prefix + std::string(static_cast<size_t>(std::max(Width, 0)), '*'); }

void CollectMaskCandidates(const std::vector<std::string>& fileNames, std::vector<TFibreMask>& list) {
    for (const std::string& fileName : fileNames) {
        const size_t slash = fileName.find_last_of("/\\");
        std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
        base = base.substr(0, base.find('.'));
        size_t d = 0;
        while (d < base.size() && isDigit(base[base.size() - 1 - d])) ++d;
        if (d == 0) continue;
        const size_t k = std::min<size_t>(d, 3);
        const std::string number = base.substr(base.size() - k);
        const std::string prefix = base.substr(0, base.size() - k);
        const std::string key = foldCase(prefix);
        const int w = static_cast<int>(k);
        auto samePrefix = [&](const TFibreMask& m) { return foldCase(m.Prefix) == key; };

        bool stopped = false;
        if (number[0] == '0') {
            for (TFibreMask& m : list) {
                if (!samePrefix(m)) continue;
                if (m.Fixed && m.Width == w) stopped = true;
                else if (!m.Fixed && m.Width >= w) {
                    m = {m.Prefix, w, true};
                    stopped = true;
                }
                if (stopped) break;
            }
            if (!stopped) list.push_back({prefix, w, true});
        } else {
            for (TFibreMask& m : list) {
                if (!samePrefix(m)) continue;
                if (w >= m.Width) stopped = true; // covered by a fixed or a free entry
                else if (!m.Fixed) {
                    m.Width = w;
                    stopped = true;
                }
                if (stopped) break;
            }
            if (!stopped) list.push_back({prefix, w, false});
        }
    }
}

std::vector<TFibreMask> FindMaskCandidates(const std::vector<std::string>& folders, const TFolderReader& reader) {
    std::vector<TFibreMask> list;
    for (const std::string& folder : folders) {
        const TFolderIndex index(folder, reader);
        CollectMaskCandidates(index.FilesWithExtension(".tra"), list);
        CollectMaskCandidates(index.FilesWithExtension(".sor"), list);
    }
    for (TFibreMask& m : list) m.Fixed = true;
    return list;
}

TFibreMask BuildMask(const std::vector<std::string>& folders, const TMaskChooser& choose, const TFolderReader& reader) {
    const std::vector<TFibreMask> list = FindMaskCandidates(folders, reader);
    if (list.empty()) return {};
    if (list.size() == 1 || !choose) return list.front();
    const size_t chosen = choose(list);
    return chosen < list.size() ? list[chosen] : list.front();
}

TFibreMask BuildMask(const std::string& dataFolder, int mode, const TMaskChooser& choose, const TFolderReader& reader) {
    std::vector<std::string> folders;
    for (const std::string& sub : MaskSubFolders(mode)) folders.push_back(SubFolderPath(dataFolder, sub, reader));
    return BuildMask(folders, choose, reader);
}

std::vector<TFibreFile> ListFibreFiles(const std::string& folder, const TFibreMask& mask, const TFolderReader& reader) {
    std::vector<TFibreFile> files;
    if (mask.IsEmpty()) return files;
    const TFolderIndex index(folder, reader);
    for (int n = kMaxFibreNumber; n >= 1; --n) {
        std::string name = index.FindFile(mask.FileName(n, ".tra"));
        if (name.empty()) name = index.FindFile(mask.FileName(n, ".sor"));
        if (!name.empty()) files.push_back({index.Folder() + name, n});
    }
    return files;
}

std::string SkippedSetFilesMessage(const std::vector<TSetFileFailure>& skipped) {
    constexpr size_t kListed = 20;
    std::string text = kMsgSetFilesSkipped;
    for (size_t i = 0; i < skipped.size() && i < kListed; ++i) {
        text += "\r\n" + ShortTraceName(skipped[i].Path);
        if (!skipped[i].Reason.empty()) text += ": " + skipped[i].Reason;
    }
    if (skipped.size() > kListed) text += "\r\n… и еще " + std::to_string(skipped.size() - kListed);
    return text;
}

// ---- the set of a processing window ----------------------------------------------------------

TFibreSet::TFibreSet(std::string dataFolder, int mode, TMaskChooser choose, TFolderReader reader)
    : m_dataFolder(NormaliseDataFolder(dataFolder)), m_mode(mode), m_choose(std::move(choose)),
      m_reader(std::move(reader)) {}

const TFibreMask& TFibreSet::Mask() {
    if (!m_maskBuilt) {
        m_mask = BuildMask(m_dataFolder, m_mode, m_choose, m_reader);
        m_maskBuilt = true;
    }
    return m_mask;
}

std::vector<TFibreFile> TFibreSet::List(const std::string& subFolder) {
    const TFibreMask& mask = Mask();
    return ListFibreFiles(SubFolderPath(m_dataFolder, subFolder, m_reader), mask, m_reader);
}

std::vector<TFibreFile> TFibreSet::ListInspection() {
    std::vector<TFibreFile> files = List(kSubFolder155);
    std::vector<TFibreFile> more = List(kSubFolder131);
    files.insert(files.end(), more.begin(), more.end());
    return files;
}

} // namespace lv

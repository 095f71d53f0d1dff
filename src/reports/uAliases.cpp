#include "reports/uAliases.h"

#include "formats/FileErrors.h"

namespace lv {

const char* const kMsgAliasOwner = "Компонентом %s должен владеть компонент %s, а не объект типа %s";
const char* const kMsgAliasExists = "Компонент с именем %s уже существует";

namespace {

// Next code point of UTF-8 text; a malformed byte stands for itself.
char32_t nextCodePoint(const std::string& s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (b < 0xC0 || i + extra >= s.size()) {
        ++i;
        return b;
    }
    char32_t cp = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

char32_t foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= U'А' && c <= U'Я') return c + 32;   // А..Я -> а..я
    if (c >= U'Ѐ' && c <= U'Џ') return c + 80;   // Ѐ..Џ (Ё among them) -> ѐ..џ
    return c;
}

// "%s" placeholders filled in order.
std::string formatArgs(std::string pattern, std::initializer_list<std::string> args) {
    for (const auto& a : args) pattern = FormatS(pattern, a);
    return pattern;
}

} // namespace

bool SameName(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (foldCase(nextCodePoint(a, i)) != foldCase(nextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

// --- TCollection -------------------------------------------------------------------------------

TCollection::~TCollection() {
    while (!m_items.empty()) m_items.pop_back();
}

TCollectionItem& TCollection::Add() {
    m_items.push_back(NewItem());
    TCollectionItem& item = *m_items.back();
    Added(item);
    return item;
}

void TCollection::Delete(int index) {
    m_items.erase(m_items.begin() + index);
}

// --- TAliasItem --------------------------------------------------------------------------------

TAliasItem::TAliasItem(TCollection* collection, const char* className) : TCollectionItem(collection) {
    if (collection && !dynamic_cast<TAliases*>(collection))
        throw EAliasError(formatArgs(kMsgAliasOwner, {className, "TAliases", collection->ClassName()}));
}

TAliases* TAliasItem::Aliases() const {
    return dynamic_cast<TAliases*>(Collection());
}

void TAliasItem::SetName(const std::string& name) {
    TAliases* aliases = Aliases();
    if (name.empty()) {
        m_name = aliases ? aliases->UniqueName() : ClassName();
        return;
    }
    if (aliases && !SameName(name, m_name)) {
        TAliasItem* other = aliases->FindByName(name);
        if (other && other != this) throw EAliasError(FormatS(kMsgAliasExists, name));
    }
    m_name = name;
}

void TAliasItem::Assign(const TAliasItem& source) {
    try {
        SetName(source.Name());
    } catch (const EAliasError&) {
        // The target keeps its own name.
    }
}

// --- TAliases ----------------------------------------------------------------------------------

TAliasItem* TAliases::FindByName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameName(Item(i)->Name(), name)) return Item(i);
    return nullptr;
}

std::string TAliases::UniqueName() const {
    const std::string base = ItemClassName();
    for (int n = 1;; ++n) {
        std::string candidate = base + std::to_string(n);
        if (!FindByName(candidate)) return candidate;
    }
}

void TAliases::ListNames(TNameList& list) const {
    for (int i = 0; i < Count(); ++i) {
        const TAliasItem* item = Item(i);
        if (!item->Name().empty()) list.push_back({item->Name(), item->NewListedObject()});
    }
}

void TAliases::Added(TCollectionItem& added) {
    auto& item = static_cast<TAliasItem&>(added);
    bool used = false;
    for (int i = 0; i < Count(); ++i)
        if (Item(i) != &item && SameName(Item(i)->Name(), item.Name())) used = true;
    if (item.Name().empty() || used) item.m_name = UniqueName();
}

} // namespace lv

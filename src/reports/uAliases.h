#pragma once
// Uniquely named items: the collection that carries a window's report templates by name.

#include <memory>
#include <string>
#include <vector>

#include "trace/Errors.h"

namespace lv {

// Name conflicts and wrong owners of named items.
class EAliasError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const kMsgAliasOwner;     // "Компонентом %s должен владеть компонент %s, а не объект типа %s"
extern const char* const kMsgAliasExists;    // "Компонент с именем %s уже существует"

// Case-insensitive comparison of UTF-8 names (Latin and Cyrillic letters fold, as the platform's
// comparison of names does).
bool SameName(const std::string& a, const std::string& b);

class TCollectionItem;

// A list of owned items; an item joins the collection that creates it and goes with it.
class TCollection {
public:
    virtual ~TCollection();
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    virtual std::string ClassName() const { return "TCollection"; }
    // The class name of the items this collection makes.
    virtual std::string ItemClassName() const = 0;
    int Count() const { return static_cast<int>(m_items.size()); }
    TCollectionItem* Item(int index) const { return m_items.at(static_cast<size_t>(index)).get(); }
    // Makes a new item of the collection's item class at the end.
    TCollectionItem& Add();
    // Frees the item at `index`.
    void Delete(int index);

protected:
    TCollection() = default;
    // A new item of the item class, made inside this collection.
    virtual std::unique_ptr<TCollectionItem> NewItem() = 0;
    // Called when an item has joined the list.
    virtual void Added(TCollectionItem&) {}

private:
    std::vector<std::unique_ptr<TCollectionItem>> m_items;
};

class TCollectionItem {
public:
    virtual ~TCollectionItem() = default;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;
    virtual std::string ClassName() const { return "TCollectionItem"; }
    TCollection* Collection() const { return m_collection; }

protected:
    explicit TCollectionItem(TCollection* collection) : m_collection(collection) {}

private:
    TCollection* m_collection;
};

// What a listed name carries beside it (a report's short-cut and icon); owned by the list entry.
class TListedObject {
public:
    virtual ~TListedObject() = default;
};

struct TNameListEntry {
    std::string Name;
    std::unique_ptr<TListedObject> Object;
};
using TNameList = std::vector<TNameListEntry>;

class TAliases;

class TAliasItem : public TCollectionItem {
public:
    // `collection` may be null (a free-standing item); a collection that is not a TAliases raises
    // EAliasError.
    explicit TAliasItem(TCollection* collection) : TAliasItem(collection, "TAliasItem") {}
    std::string ClassName() const override { return "TAliasItem"; }

    const std::string& Name() const { return m_name; }
    // An empty name becomes the collection's unique name; a name another item of the collection
    // has (ignoring case) raises EAliasError.
    void SetName(const std::string& name);
    // Copies the name; a name conflict there leaves this item's name as it was.
    virtual void Assign(const TAliasItem& source);
    // The object a listing attaches to this item's name (none by default).
    virtual std::unique_ptr<TListedObject> NewListedObject() const { return nullptr; }

    TAliases* Aliases() const;

protected:
    // `className` names the item in the wrong-owner message (the object is not complete yet).
    TAliasItem(TCollection* collection, const char* className);

private:
    friend class TAliases;
    std::string m_name;
};

class TAliases : public TCollection {
public:
    std::string ClassName() const override { return "TAliases"; }
    std::string ItemClassName() const override { return "TAliasItem"; }
    TAliasItem* Item(int index) const { return static_cast<TAliasItem*>(TCollection::Item(index)); }

    // The item named `name` without regard to case, or null.
    TAliasItem* FindByName(const std::string& name) const;
    // The item class name followed by the first number from 1 that no item's name has.
    std::string UniqueName() const;
    // Every item with a non-empty name, with its listed object.
    void ListNames(TNameList& list) const;

protected:
    std::unique_ptr<TCollectionItem> NewItem() override { return std::make_unique<TAliasItem>(this); }
    // A new item without a name, or with a name already used, gets UniqueName.
    void Added(TCollectionItem& item) override;
};

} // namespace lv

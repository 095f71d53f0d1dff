#pragma once
// Owned objects with a name: an owner frees the components it owns when it goes, and a component
// that goes first leaves its owner's list. TComponentRef tells whether a component still lives.

#include <memory>
#include <string>
#include <vector>

namespace lv {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return m_owner; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Component(int index) const { return m_components.at(static_cast<size_t>(index)); }
    virtual std::string ClassName() const { return "TComponent"; }

    // Liveness token shared with TComponentRef.
    std::weak_ptr<TComponent*> LifeToken() const { return m_life; }

private:
    void insertComponent(TComponent* c);
    void removeComponent(TComponent* c);

    TComponent* m_owner = nullptr;
    std::string m_name;
    std::vector<TComponent*> m_components;
    std::shared_ptr<TComponent*> m_life;
};

// A non-owning reference that reads as null once the component is destroyed.
template <class T> class TComponentRef {
public:
    TComponentRef() = default;
    TComponentRef(T* c) { reset(c); }
    void reset(T* c = nullptr) {
        m_ptr = c;
        m_token = c ? c->LifeToken() : std::weak_ptr<TComponent*>();
    }
    T* get() const {
        auto t = m_token.lock();
        return t && *t ? m_ptr : nullptr;
    }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    T* m_ptr = nullptr;
    std::weak_ptr<TComponent*> m_token;
};

} // namespace lv

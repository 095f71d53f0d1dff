#include "trace/Component.h"

#include <algorithm>

namespace lv {

TComponent::TComponent(TComponent* owner) : m_life(std::make_shared<TComponent*>(this)) {
    if (owner) owner->insertComponent(this);
}

TComponent::~TComponent() {
    *m_life = nullptr;
    // Owned components go from the last to the first; each leaves the list as it goes.
    while (!m_components.empty()) delete m_components.back();
    if (m_owner) m_owner->removeComponent(this);
}

void TComponent::insertComponent(TComponent* c) {
    m_components.push_back(c);
    c->m_owner = this;
}

void TComponent::removeComponent(TComponent* c) {
    auto it = std::find(m_components.begin(), m_components.end(), c);
    if (it != m_components.end()) m_components.erase(it);
    c->m_owner = nullptr;
}

} // namespace lv

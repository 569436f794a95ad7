#include "core/component.h"

#include <algorithm>

namespace tarnwick {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) owner_->insertComponent(this);
}

TComponent::~TComponent() {
    // Children unregister themselves as they go, so always destroy the last one.
    while (!components_.empty()) {
        TComponent* child = components_.back();
        child->owner_ = nullptr;
        components_.pop_back();
        delete child;
    }
    if (owner_ != nullptr) owner_->removeComponent(this);
}

void TComponent::removeComponent(TComponent* child) {
    auto it = std::find(components_.begin(), components_.end(), child);
    if (it != components_.end()) components_.erase(it);
}

} // namespace tarnwick

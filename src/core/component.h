// The small object model the components share: TObject as the common base that event handlers
// receive as Sender, and TComponent with an owner that destroys what it owns, a Name and a Tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// A component registers itself with its owner and is destroyed by it, newest first, unless it
// was destroyed earlier (it then removes itself from the owner's list).
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }

    std::string Name;
    std::intptr_t Tag = 0;

private:
    void insertComponent(TComponent* child) { components_.push_back(child); }
    void removeComponent(TComponent* child);

    TComponent* owner_;
    std::vector<TComponent*> components_;
};

} // namespace tarnwick

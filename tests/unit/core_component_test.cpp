#include "core/component.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

// Records its own destruction so the owner's clean-up order can be checked.
class Tracked : public TComponent {
public:
    Tracked(TComponent* owner, int id, std::vector<int>& log) : TComponent(owner), id_(id), log_(log) {}
    ~Tracked() override { log_.push_back(id_); }

private:
    int id_;
    std::vector<int>& log_;
};

TEST(Component, OwnerDestroysChildrenNewestFirst) {
    std::vector<int> log;
    auto* root = new Tracked(nullptr, 0, log);
    new Tracked(root, 1, log);
    auto* two = new Tracked(root, 2, log);
    new Tracked(two, 21, log);
    EXPECT_EQ(root->ComponentCount(), 2);
    delete root;
    // Each destructor body runs before the component base destroys what it owns.
    EXPECT_EQ(log, (std::vector<int>{0, 2, 21, 1}));
}

TEST(Component, ChildDestroyedEarlyLeavesItsOwner) {
    std::vector<int> log;
    Tracked root(nullptr, 0, log);
    auto* child = new Tracked(&root, 1, log);
    delete child;
    EXPECT_EQ(root.ComponentCount(), 0);
}

} // namespace
} // namespace tarnwick

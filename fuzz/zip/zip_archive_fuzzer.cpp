// Arbitrary bytes as a ZIP archive: open it (directory loading, ZIP64, stub search, rebuild from
// local headers), list it through the search, and decode and check every item.
#include <cstdint>

#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace {

using namespace tarnwick;

// Counts what it is given and refuses more than a budget, so forged sizes cannot make one input
// run for minutes.
class BudgetSink final : public TStream {
public:
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void*, std::size_t count) override {
        if (count > budget_) return 0;
        budget_ -= count;
        size_ += static_cast<std::int64_t>(count);
        return count;
    }
    std::int64_t GetPosition() const override { return size_; }
    void SetPosition(std::int64_t) override {}
    std::int64_t GetSize() override { return size_; }
    void SetSize(std::int64_t) override {}

private:
    std::size_t budget_ = 64u << 20;
    std::int64_t size_ = 0;
};

class FuzzArchiver final : public TZipArchiver {
public:
    FuzzArchiver() : TZipArchiver(nullptr) {
        OnPassword = [](TObject*, const std::string&, std::string& password, bool& skip) {
            // One wrong try, then give up: the prompt loop runs but ends.
            if (password == "fuzz") skip = true;
            password = "fuzz";
        };
    }
    void decodeAll() {
        BudgetSink sink;
        for (int i = 0; i < DirManager()->CentralDir.GetCount(); ++i) {
            try {
                ExtractItem(i, &sink);
            } catch (const Exception&) {
                // Damaged items fail with an error code; that is the expected outcome here.
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReadOnlyMemoryStream stream(data, size);
    FuzzArchiver archiver;
    try {
        archiver.OpenArchive(&stream, false);
    } catch (const Exception&) {
        return 0;
    }
    TZAArchiveItem item;
    for (bool found = archiver.FindFirst("*", item, "", 63); found; found = archiver.FindNext(item)) {
    }
    archiver.GetFileCount();
    archiver.decodeAll();
    return 0;
}

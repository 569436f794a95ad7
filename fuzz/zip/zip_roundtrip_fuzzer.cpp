// Fuzz bytes as a list of edits (adds at every level, with and without a password, replacements,
// deletes, renames, comments, nested brackets) applied to an archive in memory. Every edit is
// mirrored in a plain map; after each write the archive is reopened by a fresh reader and must
// hold exactly the map's names and bytes.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace {

using namespace tarnwick;

const char* const kNames[] = {"a.txt", "dir/b.txt", "c.bin", "e\x80.txt", "f.txt"};
constexpr std::uint32_t kWhen = 0x5A216000;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    unsigned byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string bytes(std::size_t n) {
        n = std::min(n, size_ - std::min(at_, size_));
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct FixedRandom final : TZARandomSource {
    void Fill(unsigned char* bytes, int count) override {
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    }
};

void check(bool condition) {
    if (!condition) std::abort();
}

void verify(TMemoryStream& memory, const std::map<std::string, std::string>& model, const std::string& comment) {
    TMemoryStream copy;
    copy.Write(memory.Memory(), static_cast<std::size_t>(memory.GetSize()));
    TZipArchiver reader(nullptr);
    reader.Password = "pw";
    reader.OpenArchive(&copy, false);
    const TZADirArray& dir = reader.DirManager()->CentralDir;
    check(dir.GetCount() == static_cast<int>(model.size()));
    check(reader.GetFileComment() == comment);
    for (int i = 0; i < dir.GetCount(); ++i) {
        const auto it = model.find(dir.GetItemPtr(i)->FileName);
        check(it != model.end());
        std::string data;
        reader.ExtractToString(it->first, data);
        check(data == it->second);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    TMemoryStream memory;
    FixedRandom random;
    TZipArchiver z(nullptr);
    z.SetRandomSource(&random);
    z.Options.OverwriteMode = omAlways;
    z.OpenArchive(&memory, true);
    std::map<std::string, std::string> model;
    std::string comment;
    for (int steps = 0; !in.empty() && steps < 64; ++steps) {
        const unsigned op = in.byte() % 6;
        const std::string name = kNames[in.byte() % 5];
        if (op <= 1) {  // add or replace
            z.SetCompressionMode(static_cast<std::uint8_t>(in.byte() % 10));
            z.Password = (in.byte() & 1) != 0 ? "pw" : "";
            const std::string bytes = in.bytes(in.byte() * 8);
            z.AddFromString(name, bytes, 0x20, kWhen);
            model[name] = bytes;
        } else if (op == 2) {
            z.DeleteFiles(name, 63, "");
            model.erase(name);
        } else if (op == 3) {
            const std::string to = kNames[in.byte() % 5];
            if (model.count(name) == 0 || model.count(to) != 0) continue;
            z.RenameFile(name, to);
            model[to] = model[name];
            model.erase(name);
        } else if (op == 4) {
            comment = in.bytes(in.byte());
            z.SetFileComment(comment);
        } else {  // several adds in one bracket
            z.BeginUpdate();
            for (unsigned n = in.byte() % 4; n > 0; --n) {
                const std::string inner = kNames[in.byte() % 5];
                const std::string bytes = in.bytes(in.byte());
                z.AddFromString(inner, bytes, 0x20, kWhen);
                model[inner] = bytes;
            }
            z.EndUpdate();
        }
        verify(memory, model, comment);
    }
    z.CloseArchive();
    return 0;
}

// Arbitrary bytes as an archive to change in place: add an item, replace the first one, delete
// and rename. Every update either succeeds or fails and leaves the bytes exactly as they were;
// what it wrote opens again. (Old items of a hostile archive keep their hostile offsets, which
// may mislead the reader's stub detection, so only a clean start must read the new item back.)
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace {

using namespace tarnwick;

struct FixedRandom final : TZARandomSource {
    void Fill(unsigned char* bytes, int count) override {
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i);
    }
};

std::string bytesOf(TMemoryStream& m) {
    return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<std::size_t>(m.GetSize()));
}

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream memory;
    memory.Write(data, size);
    FixedRandom random;
    TZipArchiver z(nullptr);
    z.SetRandomSource(&random);
    z.OnPassword = [](TObject*, const std::string&, std::string&, bool& skip) { skip = true; };
    z.OnProcessFileFailure = [](TObject*, const std::string&, TZAProcessOperation, int, int, const std::string&,
                                TZAAction& action) { action = fxaAbort; };
    try {
        z.OpenArchive(&memory, false);
    } catch (const std::exception&) {
        return 0;
    }
    const int step = size > 0 ? data[0] % 4 : 0;
    const std::string before = bytesOf(memory);
    bool changed = false;
    try {
        switch (step) {
        case 0: z.AddFromString("fuzz-added.txt", "added by the fuzzer", 0x20, 0x5A216000); break;
        case 1:
            if (z.DirManager()->CentralDir.GetCount() == 0) return 0;
            z.Options.OverwriteMode = omAlways;
            z.AddFromString(z.DirManager()->CentralDir.GetItemPtr(0)->FileName, "replaced", 0x20, 0x5A216000);
            break;
        case 2: z.DeleteFiles("*", 63, ""); break;
        default:
            if (z.DirManager()->CentralDir.GetCount() == 0) return 0;
            z.RenameFile(z.DirManager()->CentralDir.GetItemPtr(0)->FileName, "fuzz-renamed.txt");
            break;
        }
        changed = true;
    } catch (const std::exception&) {
        check(bytesOf(memory) == before);
    }
    const bool clean = z.DirManager()->StubSize == 0 && z.DirManager()->CentralDir.GetCount() == 1;
    z.CloseArchive();
    if (!changed || step != 0) return 0;
    TZipArchiver reader(nullptr);
    reader.OnPassword = [](TObject*, const std::string&, std::string&, bool& skip) { skip = true; };
    try {
        reader.OpenArchive(&memory, false);
        std::string text;
        reader.ExtractToString("fuzz-added.txt", text);
        check(text == "added by the fuzzer");
    } catch (const std::exception&) {
        // An archive that held nothing before must hold the new item now.
        check(!clean);
    }
    return 0;
}

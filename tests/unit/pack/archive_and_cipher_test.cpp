// The data archive as setup's archive component reads it, the same bytes on any number of
// threads, and the streaming cipher against the cipher's own file container.
#include "pack_fixtures.h"

#include "cipher_sink.h"
#include "data_archive.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

#include <gtest/gtest.h>

#include <random>

namespace {

namespace fs = std::filesystem;
using namespace tarnwick;
using namespace tarnwick::pack;
using packtest::TProductFolder;

std::vector<TPlannedItem> itemsOf(const fs::path& root, const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<TPlannedItem> items;
    for (const auto& [name, bytes] : files) {
        packtest::writeFile(root / name, bytes);
        items.push_back({static_cast<std::int32_t>(items.size() + 1), root / name, bytes.size(), 1715904000});
    }
    return items;
}

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

class TTestingArchiver final : public TZipArchiver {
public:
    TTestingArchiver() : TZipArchiver(nullptr) {}
    std::vector<std::string> failures;

protected:
    void DoOnProcessFileFailure(const std::string& name, TZAProcessOperation, int, int, const std::string& message,
                                TZAAction& action) override {
        failures.push_back(name + ": " + message);
        action = fxaIgnore;
    }
};

TEST(DataArchive, ItemsReadBackIntactThroughTheArchiveComponentStoredWhenDeflateDoesNotHelp) {
    TProductFolder product("archive");
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " of a compressible item\n";
    const auto items = itemsOf(product.root() / "in", {{"a.txt", text}, {"empty", ""}, {"noise.bin", noise(70000, 1)}});
    TMemorySink sink;
    const std::vector<TWrittenItem> written = writeDataArchive(items, sink, {6, 1, nullptr});
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].method, 8);
    EXPECT_LT(written[0].compressedSize, text.size() / 4);
    EXPECT_EQ(written[1].method, 0);
    EXPECT_EQ(written[2].method, 0); // random bytes do not deflate smaller

    const fs::path zip = product.root() / "data.zip";
    packtest::writeFile(zip, std::string(sink.bytes.begin(), sink.bytes.end()));
    if (const char* keep = std::getenv("PACK_KEEP_ZIP")) fs::copy_file(zip, keep, fs::copy_options::overwrite_existing);
    TTestingArchiver archiver;
    archiver.FileName = zip.string();
    archiver.OpenArchive(static_cast<std::uint16_t>(0));
    const TZADirArray& dir = archiver.DirManager()->CentralDir;
    ASSERT_EQ(dir.GetCount(), 3);
    EXPECT_EQ(dir.GetItemPtr(0)->FileName, "1.twi");
    EXPECT_EQ(dir.GetItemPtr(2)->FileName, "3.twi");
    EXPECT_EQ(dir.GetItemPtr(0)->ExternalFileAttributes, 0x20u);
    archiver.TestFiles("*", 63, "");
    EXPECT_TRUE(archiver.failures.empty()) << archiver.failures.front();
    std::string back;
    archiver.ExtractToString("1.twi", back);
    EXPECT_EQ(back, text);
    archiver.CloseArchive();
}

TEST(DataArchive, ALargeItemIsStoredUnreadOnlyWhenStartMiddleAndEndAreAllCompressedAlready) {
    TProductFolder product("incompressible");
    std::string text;
    while (text.size() < 200000) text += "a line of text that deflates well " + std::to_string(text.size()) + "\n";
    const std::string random = noise(400000, 7);
    // Random at the start and the end, text in the middle; text, then random; all random.
    const auto items = itemsOf(product.root() / "in", {{"middle", random.substr(0, 150000) + text + random.substr(0, 150000)},
                                                       {"tail", text + random},
                                                       {"random", random}});
    TMemorySink sink;
    const std::vector<TWrittenItem> written = writeDataArchive(items, sink, {6, 1, nullptr});
    EXPECT_EQ(written[0].method, 8);
    EXPECT_LT(written[0].compressedSize, 300000 + text.size() / 2);
    EXPECT_EQ(written[1].method, 8);
    EXPECT_EQ(written[2].method, 0);
    EXPECT_EQ(written[2].compressedSize, random.size());
}

TEST(DataArchive, TheBytesDoNotDependOnTheNumberOfThreadsOrTheLevelZeroStoresEverything) {
    TProductFolder product("threads");
    std::vector<std::pair<std::string, std::string>> files;
    for (unsigned i = 0; i < 40; ++i) {
        std::string name = "f"; // appended, not "f" + ...: GCC 12 at -O3 warns wrongly (-Wrestrict) about that
        name += std::to_string(i);
        files.push_back({name, std::string(i * 997, static_cast<char>('a' + i % 26)) + noise(i * 31, i)});
    }
    const auto items = itemsOf(product.root() / "in", files);
    TMemorySink one, four;
    writeDataArchive(items, one, {6, 1, nullptr});
    writeDataArchive(items, four, {6, 4, nullptr});
    EXPECT_EQ(one.bytes, four.bytes);

    TMemorySink stored;
    for (const TWrittenItem& w : writeDataArchive(items, stored, {0, 2, nullptr})) EXPECT_EQ(w.method, 0) << w.name;
}

TEST(DataArchive, ASourceThatChangedSinceThePlanIsAnErrorNamingIt) {
    TProductFolder product("changed");
    auto items = itemsOf(product.root() / "in", {{"a", "1234"}, {"b", "5678"}});
    packtest::writeFile(items[1].source, "longer now");
    for (unsigned threads : {1u, 2u}) {
        TMemorySink sink;
        try {
            writeDataArchive(items, sink, {6, threads, nullptr});
            ADD_FAILURE() << "no error with " << threads << " threads";
        } catch (const EArchiveError& e) {
            EXPECT_NE(std::string(e.what()).find(items[1].source.string() + " changed while the package was built"), std::string::npos)
                << e.what();
        }
    }
}

TEST(CipherSink, GivesTheContainerThatEncryptFileWrites) {
    TProductFolder product("cipher");
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    for (std::size_t size : {std::size_t(0), std::size_t(7), std::size_t(8), std::size_t(9), std::size_t((1 << 20) + 3)}) {
        const std::string plain = noise(size, static_cast<unsigned>(size));
        const fs::path source = product.root() / "plain";
        packtest::writeFile(source, plain);
        ASSERT_EQ(cipher.Encrypt_File(source.string().c_str()), TMyBlowfish::kDone);
        const std::string expected = packtest::readFile(containerOutputName(source.string(), "BLW"));

        const fs::path streamed = product.root() / "streamed";
        std::FILE* f = std::fopen(streamed.string().c_str(), "wb");
        TCipherSink sink(f, cipher);
        // Uneven pieces, so blocks straddle the writes.
        for (std::size_t at = 0; at < plain.size(); at += 5) sink.write(plain.data() + at, std::min<std::size_t>(5, plain.size() - at));
        sink.finish();
        std::fclose(f);
        EXPECT_FALSE(sink.failed());
        EXPECT_EQ(packtest::readFile(streamed), expected) << size;

        std::vector<unsigned char> bytes(expected.begin(), expected.end());
        ASSERT_TRUE(decipherContainer(bytes, cipher));
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), plain);
    }
}

} // namespace

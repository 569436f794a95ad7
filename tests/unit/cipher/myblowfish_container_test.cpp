// The enciphered file container: layout, last-block rules, output names, results and progress.
#include "cipher/myblowfish.h"

#include "cipher/myblowfish_detail.h"
#include "cipher_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using cipher_test::Bytes;
using cipher_test::decrypted;
using cipher_test::encrypted;
using cipher_test::keyed;
using cipher_test::randomBytes;

constexpr const char* kKey = TMyBlowfish::kDefaultPassword;
constexpr std::size_t kChunk = blowfish::kContainerChunkBytes;

using Progress = std::vector<std::int64_t>;

// What a block-at-a-time copy reports: 0, then 8 after each of `blocks` blocks unless turbo,
// then `last`.
Progress expectedProgress(std::int64_t blocks, std::int64_t last, bool turbo) {
    Progress p{0};
    if (!turbo) {
        for (std::int64_t i = 1; i <= blocks; ++i) p.push_back(8 * i);
    }
    p.push_back(last);
    return p;
}

class CipherContainer : public cipher_test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        bf_ = keyed(kKey);
        bf_->OnProgressChange = [this](TObject* sender, std::int64_t& total) {
            EXPECT_EQ(sender, bf_.get());
            progress_.push_back(total);
        };
    }

    // Writes `plain` as name and enciphers it; returns the container's path.
    std::string encryptFile(const std::string& name, const Bytes& plain) {
        writeFile(path(name), plain);
        EXPECT_EQ(bf_->Encrypt_File(path(name).c_str()), TMyBlowfish::kDone);
        return containerOutputName(path(name), "BLW");
    }

    // Writes `container` as name and deciphers it; returns what was written.
    Bytes decryptFile(const std::string& name, const Bytes& container) {
        writeFile(path(name), container);
        EXPECT_EQ(bf_->Decrypt_File(path(name).c_str()), TMyBlowfish::kDone);
        return readFile(containerOutputName(path(name), "DEC"));
    }

    std::unique_ptr<TMyBlowfish> bf_;
    Progress progress_;
};

TEST_F(CipherContainer, LayoutIsBlocksThenPaddedFinalBlock) {
    for (std::size_t length : {0u, 7u, 8u, 9u, 43u}) {
        SCOPED_TRACE(length);
        const Bytes plain = randomBytes(length, static_cast<std::uint32_t>(length));
        const Bytes container = readFile(encryptFile("plain.bin", plain));
        ASSERT_EQ(container.size(), 8 * (length / 8 + 1));

        const Bytes opened = decrypted(*keyed(kKey), container);
        const auto pad = static_cast<unsigned char>(8 - length % 8);
        EXPECT_EQ(Bytes(opened.begin(), opened.begin() + static_cast<std::ptrdiff_t>(length)), plain);
        EXPECT_EQ(Bytes(opened.begin() + static_cast<std::ptrdiff_t>(length), opened.end()), Bytes(std::size_t{pad}, pad));

        EXPECT_EQ(decryptFile("container", container), plain);
    }
}

// Only the last byte of the deciphered last block counts; the other pad bytes are not examined.
TEST_F(CipherContainer, LastBlockIsCutByItsLastByte) {
    const Bytes first = randomBytes(8, 1);
    const struct {
        Bytes last;
        std::size_t kept;
    } cases[] = {
        {{'a', 'b', 'c', 'd', 'e', 'f', 'g', 0}, 8},
        {{'a', 'b', 'c', 'd', 'e', 9, 9, 3}, 5},
        {{'a', 2, 2, 2, 2, 2, 2, 7}, 1},
        {{8, 8, 8, 8, 8, 8, 8, 8}, 0},
        {{'a', 'b', 'c', 'd', 'e', 'f', 'g', 9}, 0},
        {{'a', 'b', 'c', 'd', 'e', 'f', 'g', 255}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.last[7]));
        Bytes plain = first;
        plain.insert(plain.end(), c.last.begin(), c.last.end());
        Bytes expected = first;
        expected.insert(expected.end(), c.last.begin(), c.last.begin() + static_cast<std::ptrdiff_t>(c.kept));
        EXPECT_EQ(decryptFile("crafted.bin", encrypted(*bf_, plain)), expected);
    }
}

TEST_F(CipherContainer, SourceShorterThanOneBlockGivesEmptyFile) {
    for (std::size_t length : {0u, 5u}) {
        SCOPED_TRACE(length);
        progress_.clear();
        EXPECT_TRUE(decryptFile("short.bin", randomBytes(length, 2)).empty());
        EXPECT_EQ(progress_, (Progress{0, 0}));
    }
}

TEST_F(CipherContainer, TrailingPartialBlockIsIgnored) {
    const Bytes plain = randomBytes(13, 4);
    Bytes container = readFile(encryptFile("plain.bin", plain));
    container.insert(container.end(), {1, 2, 3, 4, 5});
    progress_.clear();
    EXPECT_EQ(decryptFile("container.bin", container), plain);
    EXPECT_EQ(progress_, (Progress{0, 8, 16}));
}

TEST_F(CipherContainer, ExistingDestinationIsOverwritten) {
    writeFile(path("_setupDEC"), randomBytes(100, 5));
    const Bytes plain = randomBytes(10, 6);
    Bytes padded = plain;
    padded.insert(padded.end(), 6, 6);
    EXPECT_EQ(decryptFile("_setup", encrypted(*bf_, padded)), plain);
}

TEST(CipherContainerName, ReplacesExtensionOrAppends) {
    const struct {
        const char* source;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"_setup", "DEC", "_setupDEC"},
        {"_setup_dat", "DEC", "_setup_datDEC"},
        {"data.bin", "DEC", "dataDEC"},
        {"C:\\dir\\data.bin", "DEC", "C:\\dir\\dataDEC"},
        {"C:\\dir\\a.b.c", "BLW", "C:\\dir\\a.bBLW"},
        {"C:\\dir.x\\file", "BLW", "C:\\dir.x\\fileBLW"},
        {"C:.x", "BLW", "C:BLW"},
        {"C.x:file", "BLW", "C.x:fileBLW"},
        {"/tmp/d.x/file", "BLW", "/tmp/d.x/fileBLW"},
        {"/tmp/d/file.pkg", "BLW", "/tmp/d/fileBLW"},
        {"name.", "DEC", "nameDEC"},
        {"", "DEC", "DEC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(containerOutputName(c.source, c.suffix), c.expected) << c.source;
    }
}

// Deciphering to a named destination: the same bytes and progress as beside the source, and
// nothing written beside the source.
TEST_F(CipherContainer, DecryptToANamedDestinationMatchesDecryptBesideTheSource) {
    const Bytes plain = randomBytes(3 * 8 + 5, 11);
    const std::string container = encryptFile("plain.bin", plain);
    std::filesystem::create_directory(path("out"));
    progress_.clear();
    ASSERT_EQ(bf_->Decrypt_File(container.c_str(), path("out/named.bin").c_str()), TMyBlowfish::kDone);
    const Progress named = progress_;
    EXPECT_EQ(readFile(path("out/named.bin")), plain);
    EXPECT_FALSE(exists(containerOutputName(container, "DEC")));

    progress_.clear();
    ASSERT_EQ(bf_->Decrypt_File(container.c_str()), TMyBlowfish::kDone);
    EXPECT_EQ(readFile(containerOutputName(container, "DEC")), plain);
    EXPECT_EQ(progress_, named);

    EXPECT_EQ(bf_->Decrypt_File(container.c_str(), path("no such folder/x.bin").c_str()),
              TMyBlowfish::kDestinationNotWritable);
    EXPECT_EQ(bf_->Decrypt_File(path("missing.bin").c_str(), path("out/y.bin").c_str()), TMyBlowfish::kSourceNotReadable);
    EXPECT_FALSE(exists(path("out/y.bin")));
}

TEST_F(CipherContainer, MissingSourceCreatesNothing) {
    EXPECT_EQ(bf_->Encrypt_File(path("missing.bin").c_str()), TMyBlowfish::kSourceNotReadable);
    EXPECT_EQ(bf_->Decrypt_File(path("missing.bin").c_str()), TMyBlowfish::kSourceNotReadable);
    EXPECT_FALSE(exists(path("missingBLW")));
    EXPECT_FALSE(exists(path("missingDEC")));
    EXPECT_TRUE(progress_.empty());
}

// A folder as the source: Windows refuses to open it, POSIX opens it and fails the first read.
// Either way the result is 2 and no destination is left behind.
TEST_F(CipherContainer, UnreadableSourceLeavesNoDestination) {
    std::filesystem::create_directory(path("folder.src"));
    EXPECT_EQ(bf_->Encrypt_File(path("folder.src").c_str()), TMyBlowfish::kSourceNotReadable);
    EXPECT_EQ(bf_->Decrypt_File(path("folder.src").c_str()), TMyBlowfish::kSourceNotReadable);
    EXPECT_FALSE(exists(path("folderBLW")));
    EXPECT_FALSE(exists(path("folderDEC")));
}

// A folder where the destination would go cannot be replaced by a file, even by root.
TEST_F(CipherContainer, DestinationNotCreatableClosesSource) {
    writeFile(path("plain.bin"), randomBytes(20, 7));
    for (const char* dest : {"plainBLW", "plainDEC"}) std::filesystem::create_directory(path(dest));
    EXPECT_EQ(bf_->Encrypt_File(path("plain.bin").c_str()), TMyBlowfish::kDestinationNotWritable);
    EXPECT_EQ(bf_->Decrypt_File(path("plain.bin").c_str()), TMyBlowfish::kDestinationNotWritable);
    EXPECT_TRUE(std::filesystem::is_directory(path("plainBLW")));
    EXPECT_TRUE(std::filesystem::is_directory(path("plainDEC")));
    EXPECT_TRUE(progress_.empty());
    // Windows cannot delete a file that is still open.
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::remove(path("plain.bin"), ec)) << ec.message();
}

// A full disk, made with /dev/full behind the destination name: small files fail only when the
// buffered data is flushed at close, large ones during the copy. The partial file goes away.
TEST_F(CipherContainer, WriteErrorGivesResult8AndRemovesDestination) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full";
#else
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (std::size_t length : {std::size_t{20}, 2 * kChunk + 20}) {
        SCOPED_TRACE(length);
        writeFile(path("plain.bin"), randomBytes(length, 8));
        writeFile(path("sealed.bin"), readFile(encryptFile("plain.bin", randomBytes(length, 8))));
        for (const char* dest : {"plainBLW", "sealedDEC"}) {
            std::filesystem::remove(path(dest));
            std::filesystem::create_symlink("/dev/full", path(dest));
        }
        EXPECT_EQ(bf_->Encrypt_File(path("plain.bin").c_str()), TMyBlowfish::kDestinationNotWritable);
        EXPECT_EQ(bf_->Decrypt_File(path("sealed.bin").c_str()), TMyBlowfish::kDestinationNotWritable);
        EXPECT_FALSE(exists(path("plainBLW")));
        EXPECT_FALSE(exists(path("sealedDEC")));
    }
#endif
}

struct ProgressCase {
    const char* name;
    bool encrypt;
    std::size_t length; // of the plain file when enciphering, of the container when deciphering
};

// Around the chunk size as well: the per-block values must not depend on how the file is read.
const ProgressCase kProgressCases[] = {
    {"encrypt empty", true, 0},
    {"encrypt 17", true, 17},
    {"encrypt 24", true, 24},
    {"encrypt one chunk", true, kChunk},
    {"encrypt past two chunks", true, 2 * kChunk + 13},
    {"decrypt 8", false, 8},
    {"decrypt 24", false, 24},
    {"decrypt one chunk", false, kChunk},
    {"decrypt one chunk and a block", false, kChunk + 8},
    {"decrypt past two chunks", false, 2 * kChunk + 24},
};

TEST_F(CipherContainer, ProgressReportsEveryBlockUnlessTurbo) {
    for (const ProgressCase& c : kProgressCases) {
        for (bool turbo : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (turbo ? " turbo" : ""));
            bf_->Turbo = turbo;
            const auto blocks = static_cast<std::int64_t>(c.length / 8);
            const Bytes input = randomBytes(c.length, static_cast<std::uint32_t>(c.length));
            progress_.clear();
            if (c.encrypt) {
                const Bytes container = readFile(encryptFile("plain.bin", input));
                EXPECT_EQ(progress_, expectedProgress(blocks, 8 * blocks + 8, turbo));
                EXPECT_EQ(decrypted(*keyed(kKey), container).size(), 8 * blocks + 8);
            } else {
                const Bytes container = encrypted(*keyed(kKey), input);
                const Bytes plain = decryptFile("sealed.bin", container);
                EXPECT_EQ(progress_, expectedProgress(blocks - 1, 8 * blocks, turbo));
                // Everything but the last block arrives whole, whatever the chunk boundaries.
                const std::size_t body = c.length - 8;
                ASSERT_GE(plain.size(), body);
                EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(body),
                                       input.begin()));
            }
        }
    }
}

TEST_F(CipherContainer, LargeFileRoundTripsAcrossChunks) {
    for (std::size_t length : {kChunk - 8, kChunk, kChunk + 1, 3 * kChunk + 5}) {
        SCOPED_TRACE(length);
        const Bytes plain = randomBytes(length, 17);
        const Bytes container = readFile(encryptFile("big.bin", plain));
        ASSERT_EQ(container.size(), length / 8 * 8 + 8);
        EXPECT_TRUE(decryptFile("bigBLW", container) == plain);
    }
}

TEST_F(CipherContainer, HandlerWritingTotalChangesNothing) {
    const Bytes plain = randomBytes(40, 10);
    const Bytes reference = readFile(encryptFile("plain.bin", plain));
    bf_->OnProgressChange = [this](TObject*, std::int64_t& total) {
        progress_.push_back(total);
        total = -1;
    };
    progress_.clear();
    EXPECT_EQ(readFile(encryptFile("plain.bin", plain)), reference);
    EXPECT_EQ(progress_, expectedProgress(5, 48, false));
    progress_.clear();
    EXPECT_EQ(decryptFile("sealed.bin", reference), plain);
    EXPECT_EQ(progress_, expectedProgress(5, 48, false));
}

// Turbo counts from the next block on when a handler switches it during an operation.
TEST_F(CipherContainer, HandlerSwitchingTurboTakesEffectAtOnce) {
    writeFile(path("plain.bin"), randomBytes(48, 11));
    std::int64_t switchAt = 16;
    bf_->OnProgressChange = [&](TObject*, std::int64_t& total) {
        progress_.push_back(total);
        if (total == switchAt) bf_->Turbo = !bf_->Turbo;
    };
    bf_->Turbo = false;
    ASSERT_EQ(bf_->Encrypt_File(path("plain.bin").c_str()), TMyBlowfish::kDone);
    EXPECT_EQ(progress_, (Progress{0, 8, 16, 56}));

    progress_.clear();
    switchAt = 0; // Turbo is on now; the handler turns it off at the first call
    ASSERT_EQ(bf_->Decrypt_File(path("plainBLW").c_str()), TMyBlowfish::kDone);
    EXPECT_EQ(progress_, expectedProgress(6, 56, false));
}

class RecordingBlowfish : public TMyBlowfish {
public:
    using TMyBlowfish::TMyBlowfish;
    void ProgressChange(std::int64_t total) override { seen.push_back(total); }
    Progress seen;
};

TEST_F(CipherContainer, OverriddenProgressChangeSeesEveryCall) {
    RecordingBlowfish bf(nullptr);
    bf.Setpassword(kKey);
    bool handlerCalled = false;
    bf.OnProgressChange = [&](TObject*, std::int64_t&) { handlerCalled = true; };
    writeFile(path("plain.bin"), randomBytes(20, 12));
    for (bool turbo : {false, true}) {
        bf.Turbo = turbo;
        bf.seen.clear();
        ASSERT_EQ(bf.Encrypt_File(path("plain.bin").c_str()), TMyBlowfish::kDone);
        EXPECT_EQ(bf.seen, expectedProgress(2, 24, turbo));
        bf.seen.clear();
        ASSERT_EQ(bf.Decrypt_File(path("plainBLW").c_str()), TMyBlowfish::kDone);
        EXPECT_EQ(bf.seen, expectedProgress(2, 24, turbo));
    }
    EXPECT_FALSE(handlerCalled);
}

} // namespace
} // namespace tarnwick

// Key schedule, block cipher and ECB buffers of TMyBlowfish.
#include "cipher/myblowfish.h"

#include "cipher_test_support.h"
#include "core/byte_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace tarnwick {
namespace {

using cipher_test::Bytes;
using cipher_test::decrypted;
using cipher_test::encrypted;
using cipher_test::fromHex;
using cipher_test::keyed;
using cipher_test::randomBytes;
using cipher_test::toHex;

// The published vectors use big-endian halves; this component reads each half little-endian.
Bytes swapHalves(Bytes b) {
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
    std::swap(b[4], b[7]);
    std::swap(b[5], b[6]);
    return b;
}

std::string keyFromHex(const std::string& hex) {
    const Bytes k = fromHex(hex);
    return std::string(k.begin(), k.end());
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Eric Young's ECB test vectors for 8-byte keys, as published (big-endian halves). The three with
// a zero byte in the key are left out: a password ends at its first zero byte.
const Vector kPublished[] = {
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(CipherBlock, PublishedVectorsHoldWithEachHalfReversed) {
    for (const Vector& v : kPublished) {
        SCOPED_TRACE(v.key);
        auto bf = keyed(keyFromHex(v.key));
        const Bytes plain = swapHalves(fromHex(v.plain));
        const Bytes cipher = swapHalves(fromHex(v.cipher));
        EXPECT_EQ(toHex(encrypted(*bf, plain)), toHex(cipher));
        EXPECT_EQ(toHex(decrypted(*bf, cipher)), toHex(plain));

        // BF_En/BF_De take the halves as words: L from bytes 0-3, R from bytes 4-7.
        bWord l{loadLE32(plain.data())}, r{loadLE32(plain.data() + 4)};
        bf->BF_En(&l, &r);
        EXPECT_EQ(l.w, loadLE32(cipher.data()));
        EXPECT_EQ(r.w, loadLE32(cipher.data() + 4));
        bf->BF_De(&l, &r);
        EXPECT_EQ(l.w, loadLE32(plain.data()));
        EXPECT_EQ(r.w, loadLE32(plain.data() + 4));
    }
}

// Other key lengths, computed with OpenSSL's Blowfish on the block 00 11 .. 77 in this byte order.
// "ab\0d" is accepted as a 4-byte password but keys with its 2 bytes before the zero.
TEST(CipherBlock, KeysOfOtherLengthsMatchOpenSsl) {
    const struct {
        std::string password;
        const char* cipher;
    } cases[] = {
        {"abcd", "089541530715B286"},
        {"abcde", "B3105340384AAD73"},
        {"#KEY_HERE#", "A7D8377B9CCF7414"},
        {"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRST", "3F2B2511C10CB4C3"},
        {std::string("ab\0d", 4), "6744363C9E2A375A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password.size());
        auto bf = keyed(c.password);
        ASSERT_EQ(bf->Getpassword(), c.password);
        EXPECT_EQ(toHex(encrypted(*bf, fromHex("0011223344556677"))), c.cipher);
    }
}

// Key bytes are used cyclically over the 72 bytes of the P-array, so a key and the same key
// repeated to a length that is a multiple of it schedule identically.
TEST(CipherKeySchedule, ShortKeyWrapsLikeItsRepetition) {
    const Bytes data = randomBytes(64, 7);
    for (const std::string unit : {"abcde", "Tarnwick", "wxyz"}) {
        std::string repeated;
        while (repeated.size() + unit.size() <= 56) repeated += unit;
        SCOPED_TRACE(unit);
        EXPECT_EQ(encrypted(*keyed(unit), data), encrypted(*keyed(repeated), data));
    }
}

TEST(CipherKeySchedule, PasswordLengthRules) {
    const std::string p56(56, 'k');
    const struct {
        std::string offered;
        std::string stored;
    } cases[] = {
        {"", TMyBlowfish::kDefaultPassword},
        {"abc", TMyBlowfish::kDefaultPassword},
        {"abcd", "abcd"},
        {p56, p56},
        {p56 + "k", TMyBlowfish::kDefaultPassword},
    };
    const Bytes data = randomBytes(16, 3);
    const Bytes underDefault = encrypted(*keyed(TMyBlowfish::kDefaultPassword), data);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offered.size());
        auto bf = keyed(c.offered);
        EXPECT_EQ(bf->Getpassword(), c.stored);
        // A rejected password leaves the cipher keyed with the default, not unkeyed.
        EXPECT_EQ(encrypted(*bf, data) == underDefault, c.stored == TMyBlowfish::kDefaultPassword);
    }
}

TEST(CipherKeySchedule, ConstructionStoresDefaultPasswordButDoesNotKey) {
    TMyBlowfish bf(nullptr);
    EXPECT_EQ(bf.Getpassword(), TMyBlowfish::kDefaultPassword);
    // All-zero tables make every round function zero: enciphering only swaps the halves.
    bWord l{0x01234567}, r{0x89ABCDEF};
    bf.BF_En(&l, &r);
    EXPECT_EQ(l.w, 0x89ABCDEFu);
    EXPECT_EQ(r.w, 0x01234567u);
}

TEST(CipherKeySchedule, ZeroFirstByteLeavesInitialTables) {
    const std::string zeroFirst("\0abc", 4);
    auto bf = keyed(zeroFirst);
    EXPECT_EQ(bf->Getpassword(), zeroFirst);
    TMyBlowfish initial(nullptr);
    initial.Reset();
    const Bytes data = randomBytes(24, 5);
    EXPECT_EQ(encrypted(*bf, data), encrypted(initial, data));
}

TEST(CipherKeySchedule, NewPasswordStartsFromInitialTables) {
    auto bf = keyed("first password");
    bf->Setpassword("second password");
    const Bytes data = randomBytes(24, 9);
    EXPECT_EQ(encrypted(*bf, data), encrypted(*keyed("second password"), data));
    // Gen_Subkeys on the keyed tables, without Reset, is a different key schedule.
    bf->Gen_Subkeys();
    EXPECT_NE(encrypted(*bf, data), encrypted(*keyed("second password"), data));
    bf->Reset();
    bf->Gen_Subkeys();
    EXPECT_EQ(encrypted(*bf, data), encrypted(*keyed("second password"), data));
}

TEST(CipherBuffer, CountNotMultipleOfEightLeavesBufferUntouched) {
    auto bf = keyed("buffer key");
    const Bytes original = randomBytes(16, 11);
    for (std::size_t count : {1u, 7u, 12u, 15u}) {
        SCOPED_TRACE(count);
        Bytes data = original;
        EXPECT_EQ(bf->Encrypt_Bin(data.data(), count), TMyBlowfish::kNotMultipleOfBlock);
        EXPECT_EQ(bf->Decrypt_Bin(data.data(), count), TMyBlowfish::kNotMultipleOfBlock);
        EXPECT_EQ(data, original);
    }
    Bytes data = original;
    EXPECT_EQ(bf->Encrypt_Bin(data.data(), 0), TMyBlowfish::kDone);
    EXPECT_EQ(bf->Decrypt_Bin(data.data(), 0), TMyBlowfish::kDone);
    EXPECT_EQ(data, original);
}

// Each block on its own: equal blocks give equal blocks, and every block of a buffer of any
// length (the buffer path works on several blocks at a time) equals that block enciphered alone.
TEST(CipherBuffer, EveryBlockIsEncipheredAlone) {
    auto bf = keyed("ecb key");
    const Bytes twice = encrypted(*bf, fromHex("0102030405060708" "0102030405060708"));
    EXPECT_TRUE(std::equal(twice.begin(), twice.begin() + 8, twice.begin() + 8));

    for (std::size_t blocks = 1; blocks <= 13; ++blocks) {
        SCOPED_TRACE(blocks);
        const Bytes plain = randomBytes(8 * blocks, static_cast<std::uint32_t>(blocks));
        const Bytes cipher = encrypted(*bf, plain);
        for (std::size_t b = 0; b < blocks; ++b) {
            bWord l{loadLE32(&plain[8 * b])}, r{loadLE32(&plain[8 * b + 4])};
            bf->BF_En(&l, &r);
            ASSERT_EQ(loadLE32(&cipher[8 * b]), l.w) << "block " << b;
            ASSERT_EQ(loadLE32(&cipher[8 * b + 4]), r.w) << "block " << b;
        }
        EXPECT_EQ(decrypted(*bf, cipher), plain);
    }
}

TEST(CipherBuffer, RoundTripsWithSameAndSecondInstance) {
    const Bytes plain = randomBytes(8 * 37, 13);
    auto a = keyed("shared password");
    auto b = keyed("shared password");
    const Bytes cipher = encrypted(*a, plain);
    EXPECT_NE(cipher, plain);
    EXPECT_EQ(decrypted(*a, cipher), plain);
    EXPECT_EQ(decrypted(*b, cipher), plain);
    // The tables are not changed by use: enciphering again gives the same result.
    EXPECT_EQ(encrypted(*a, plain), cipher);
    EXPECT_NE(decrypted(*keyed("other password"), cipher), plain);
}

} // namespace
} // namespace tarnwick

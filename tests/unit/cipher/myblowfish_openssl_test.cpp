// TMyBlowfish against OpenSSL's Blowfish on random keys and data (native builds only).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include "cipher/myblowfish.h"

#include "cipher_test_support.h"
#include "core/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace tarnwick {
namespace {

using cipher_test::Bytes;
using cipher_test::keyed;

// OpenSSL's BF_encrypt takes the halves as host integers; load them in this component's order.
Bytes opensslEcb(const std::string& key, Bytes data, int direction) {
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
    for (std::size_t i = 0; i < data.size(); i += 8) {
        BF_LONG halves[2] = {loadLE32(&data[i]), loadLE32(&data[i + 4])};
        if (direction == BF_ENCRYPT) {
            BF_encrypt(halves, &schedule);
        } else {
            BF_decrypt(halves, &schedule);
        }
        storeLE32(&data[i], static_cast<std::uint32_t>(halves[0]));
        storeLE32(&data[i + 4], static_cast<std::uint32_t>(halves[1]));
    }
    return data;
}

TEST(CipherVersusOpenSsl, RandomKeysAndBuffers) {
    std::mt19937 gen(20240601);
    for (int round = 0; round < 300; ++round) {
        const std::size_t keyLength = 4 + gen() % 53; // 4..56
        std::string key(keyLength, '\0');
        for (char& c : key) c = static_cast<char>(1 + gen() % 255); // no zero: it would end the key
        const Bytes plain = cipher_test::randomBytes(8 * (1 + gen() % 20), static_cast<std::uint32_t>(gen()));
        SCOPED_TRACE(round);

        auto bf = keyed(key);
        Bytes cipher = plain;
        ASSERT_EQ(bf->Encrypt_Bin(cipher.data(), cipher.size()), TMyBlowfish::kDone);
        ASSERT_EQ(cipher, opensslEcb(key, plain, BF_ENCRYPT));
        Bytes back = cipher;
        ASSERT_EQ(bf->Decrypt_Bin(back.data(), back.size()), TMyBlowfish::kDone);
        ASSERT_EQ(back, plain);
        ASSERT_EQ(opensslEcb(key, cipher, BF_DECRYPT), plain);
    }
}

// A zero byte ends the key; the bytes before it are the whole key.
TEST(CipherVersusOpenSsl, KeyEndsAtFirstZeroByte) {
    const Bytes plain = cipher_test::randomBytes(64, 3);
    for (const std::string& password : {std::string("abc\0efgh", 8), std::string("k\0ey", 4),
                                        std::string("long key\0", 9)}) {
        const std::string key(password.c_str());
        SCOPED_TRACE(key);
        Bytes cipher = plain;
        ASSERT_EQ(keyed(password)->Encrypt_Bin(cipher.data(), cipher.size()), TMyBlowfish::kDone);
        EXPECT_EQ(cipher, opensslEcb(key, plain, BF_ENCRYPT));
    }
}

} // namespace
} // namespace tarnwick

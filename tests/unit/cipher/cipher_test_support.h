// Helpers shared by the cipher tests: hex blocks, byte strings, files in a private temp folder.
#pragma once

#include "cipher/myblowfish.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::cipher_test {

using Bytes = std::vector<unsigned char>;

inline Bytes fromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::string toHex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

inline Bytes randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes out(n);
    for (auto& b : out) b = static_cast<unsigned char>(gen());
    return out;
}

// A keyed instance without an owner; unique_ptr because components cannot be copied.
inline std::unique_ptr<TMyBlowfish> keyed(const std::string& password) {
    auto bf = std::make_unique<TMyBlowfish>(nullptr);
    bf->Setpassword(password);
    return bf;
}

inline Bytes encrypted(const TMyBlowfish& bf, Bytes data) {
    EXPECT_EQ(bf.Encrypt_Bin(data.data(), data.size()), TMyBlowfish::kDone);
    return data;
}

inline Bytes decrypted(const TMyBlowfish& bf, Bytes data) {
    EXPECT_EQ(bf.Decrypt_Bin(data.data(), data.size()), TMyBlowfish::kDone);
    return data;
}

// A fresh folder under the system temp folder per test, removed afterwards. std::filesystem keeps
// these tests runnable under Wine as well as natively.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() /
               ("tarnwick-cipher-" + std::to_string(rd()) + "-" + std::to_string(stamp));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static void writeFile(const std::string& p, const Bytes& data) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        ASSERT_TRUE(out.good()) << p;
    }

    static Bytes readFile(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        EXPECT_TRUE(in.good()) << p;
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static bool exists(const std::string& p) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
    }

    std::filesystem::path dir_;
};

} // namespace tarnwick::cipher_test

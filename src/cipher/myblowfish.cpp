// Key schedule, single blocks and ECB buffers of TMyBlowfish.
#include "cipher/myblowfish.h"

#include "cipher/myblowfish_detail.h"
#include "core/byte_order.h"

#include <cstring>

namespace tarnwick {

namespace {

// Dead-store elimination would drop a plain memset of temporaries that are never read again.
void wipe(void* p, std::size_t n) {
    volatile unsigned char* b = static_cast<volatile unsigned char*>(p);
    while (n-- != 0) *b++ = 0;
}

// The tables in locals so that the rounds index them from registers; the four S-boxes lie one
// after the other, so the compiler needs just one base register for all of them.
struct Keys {
    const std::uint32_t* P;
    const std::uint32_t* S0;
    const std::uint32_t* S1;
    const std::uint32_t* S2;
    const std::uint32_t* S3;
};

#define TW_BF_F(x) \
    (((k.S0[(x) >> 24] + k.S1[((x) >> 16) & 0xFFu]) ^ k.S2[((x) >> 8) & 0xFFu]) + k.S3[(x) & 0xFFu])

// One round for one block: a ^= F(b) ^ P[n].
#define TW_BF_ROUND(a, b, n) a ^= TW_BF_F(b) ^ k.P[n];

inline void encipher(const Keys& k, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t l = left ^ k.P[0], r = right;
    TW_BF_ROUND(r, l, 1) TW_BF_ROUND(l, r, 2) TW_BF_ROUND(r, l, 3) TW_BF_ROUND(l, r, 4)
    TW_BF_ROUND(r, l, 5) TW_BF_ROUND(l, r, 6) TW_BF_ROUND(r, l, 7) TW_BF_ROUND(l, r, 8)
    TW_BF_ROUND(r, l, 9) TW_BF_ROUND(l, r, 10) TW_BF_ROUND(r, l, 11) TW_BF_ROUND(l, r, 12)
    TW_BF_ROUND(r, l, 13) TW_BF_ROUND(l, r, 14) TW_BF_ROUND(r, l, 15) TW_BF_ROUND(l, r, 16)
    left = r ^ k.P[17];
    right = l;
}

inline void decipher(const Keys& k, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t l = left ^ k.P[17], r = right;
    TW_BF_ROUND(r, l, 16) TW_BF_ROUND(l, r, 15) TW_BF_ROUND(r, l, 14) TW_BF_ROUND(l, r, 13)
    TW_BF_ROUND(r, l, 12) TW_BF_ROUND(l, r, 11) TW_BF_ROUND(r, l, 10) TW_BF_ROUND(l, r, 9)
    TW_BF_ROUND(r, l, 8) TW_BF_ROUND(l, r, 7) TW_BF_ROUND(r, l, 6) TW_BF_ROUND(l, r, 5)
    TW_BF_ROUND(r, l, 4) TW_BF_ROUND(l, r, 3) TW_BF_ROUND(r, l, 2) TW_BF_ROUND(l, r, 1)
    left = r ^ k.P[0];
    right = l;
}

// Four independent blocks per pass. Each round of one block waits for the four table loads of
// the round before it; interleaving four blocks (ECB has no chaining) keeps the load units busy
// and more than doubles the throughput of the one-block loop.
#define TW_BF_ROUND4(a, b, n)                                                                      \
    {                                                                                              \
        const std::uint32_t pn = k.P[n];                                                           \
        a##0 ^= TW_BF_F(b##0) ^ pn;                                                                \
        a##1 ^= TW_BF_F(b##1) ^ pn;                                                                \
        a##2 ^= TW_BF_F(b##2) ^ pn;                                                                \
        a##3 ^= TW_BF_F(b##3) ^ pn;                                                                \
    }

template <bool Encipher>
void processBlocks(const Keys& k, unsigned char* p, std::size_t count) {
    constexpr int first = Encipher ? 0 : 17;
    constexpr int last = Encipher ? 17 : 0;
    // Round n of the 16: P index n when enciphering, 17 - n when deciphering.
    constexpr auto idx = [](int n) { return Encipher ? n : 17 - n; };
    std::size_t blocks = count / 8;
    for (; blocks >= 4; blocks -= 4, p += 32) {
        std::uint32_t l0 = loadLE32(p) ^ k.P[first], r0 = loadLE32(p + 4);
        std::uint32_t l1 = loadLE32(p + 8) ^ k.P[first], r1 = loadLE32(p + 12);
        std::uint32_t l2 = loadLE32(p + 16) ^ k.P[first], r2 = loadLE32(p + 20);
        std::uint32_t l3 = loadLE32(p + 24) ^ k.P[first], r3 = loadLE32(p + 28);
        TW_BF_ROUND4(r, l, idx(1)) TW_BF_ROUND4(l, r, idx(2)) TW_BF_ROUND4(r, l, idx(3))
        TW_BF_ROUND4(l, r, idx(4)) TW_BF_ROUND4(r, l, idx(5)) TW_BF_ROUND4(l, r, idx(6))
        TW_BF_ROUND4(r, l, idx(7)) TW_BF_ROUND4(l, r, idx(8)) TW_BF_ROUND4(r, l, idx(9))
        TW_BF_ROUND4(l, r, idx(10)) TW_BF_ROUND4(r, l, idx(11)) TW_BF_ROUND4(l, r, idx(12))
        TW_BF_ROUND4(r, l, idx(13)) TW_BF_ROUND4(l, r, idx(14)) TW_BF_ROUND4(r, l, idx(15))
        TW_BF_ROUND4(l, r, idx(16))
        storeLE32(p, r0 ^ k.P[last]);
        storeLE32(p + 4, l0);
        storeLE32(p + 8, r1 ^ k.P[last]);
        storeLE32(p + 12, l1);
        storeLE32(p + 16, r2 ^ k.P[last]);
        storeLE32(p + 20, l2);
        storeLE32(p + 24, r3 ^ k.P[last]);
        storeLE32(p + 28, l3);
    }
    for (; blocks != 0; --blocks, p += 8) {
        std::uint32_t l = loadLE32(p), r = loadLE32(p + 4);
        if constexpr (Encipher) {
            encipher(k, l, r);
        } else {
            decipher(k, l, r);
        }
        storeLE32(p, l);
        storeLE32(p + 4, r);
    }
}

#undef TW_BF_ROUND4
#undef TW_BF_ROUND
#undef TW_BF_F

} // namespace

TMyBlowfish::TMyBlowfish(TComponent* owner)
    : TComponent(owner), P_{}, S_{}, password_(kDefaultPassword), crcTable_{} {
    CRC16_Init();
}

TMyBlowfish::~TMyBlowfish() {
    wipe(P_, sizeof P_);
    wipe(S_, sizeof S_);
}

std::string TMyBlowfish::Getpassword() const { return password_; }

void TMyBlowfish::Setpassword(const std::string& password) {
    Reset();
    password_ = (password.size() >= 4 && password.size() <= 56) ? password : kDefaultPassword;
    Gen_Subkeys();
}

void TMyBlowfish::Reset() {
    std::memcpy(P_, blowfish::kInitialP, sizeof P_);
    std::memcpy(S_, blowfish::kInitialS, sizeof S_);
}

void TMyBlowfish::Gen_Subkeys() {
    // The key ends at the first zero byte, as it would in a C string.
    const std::size_t n = std::strlen(password_.c_str());
    if (n == 0) return;
    const auto* key = reinterpret_cast<const unsigned char*>(password_.data());

    std::uint32_t word = 0;
    std::size_t j = 0;
    for (std::uint32_t& p : P_) {
        word = 0;
        for (int b = 0; b < 4; ++b) {
            word = (word << 8) | key[j];
            j = (j + 1 == n) ? 0 : j + 1;
        }
        p ^= word;
    }

    const Keys k{P_, S_[0], S_[1], S_[2], S_[3]};
    std::uint32_t lr[2] = {0, 0};
    for (int i = 0; i < 18; i += 2) {
        encipher(k, lr[0], lr[1]);
        P_[i] = lr[0];
        P_[i + 1] = lr[1];
    }
    for (auto& box : S_) {
        for (int i = 0; i < 256; i += 2) {
            encipher(k, lr[0], lr[1]);
            box[i] = lr[0];
            box[i + 1] = lr[1];
        }
    }
    wipe(&word, sizeof word);
    wipe(lr, sizeof lr);
}

void TMyBlowfish::BF_En(bWord* left, bWord* right) const {
    encipher(Keys{P_, S_[0], S_[1], S_[2], S_[3]}, left->w, right->w);
}

void TMyBlowfish::BF_De(bWord* left, bWord* right) const {
    decipher(Keys{P_, S_[0], S_[1], S_[2], S_[3]}, left->w, right->w);
}

std::uint8_t TMyBlowfish::Encrypt_Bin(void* buffer, std::size_t count) const {
    if (count % 8 != 0) return kNotMultipleOfBlock;
    processBlocks<true>(Keys{P_, S_[0], S_[1], S_[2], S_[3]}, static_cast<unsigned char*>(buffer), count);
    return kDone;
}

std::uint8_t TMyBlowfish::Decrypt_Bin(void* buffer, std::size_t count) const {
    if (count % 8 != 0) return kNotMultipleOfBlock;
    processBlocks<false>(Keys{P_, S_[0], S_[1], S_[2], S_[3]}, static_cast<unsigned char*>(buffer), count);
    return kDone;
}

void TMyBlowfish::ProgressChange(std::int64_t total) {
    if (OnProgressChange) {
        std::int64_t copy = total;
        OnProgressChange(this, copy);
    }
}

} // namespace tarnwick

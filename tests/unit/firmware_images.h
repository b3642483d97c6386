// The stored firmware images and the bytes each must hold, worked out here and not read from the
// resources: the placeholder of an ID is SHA-256 in counter mode, block n the digest of "zefran placeholder <id> <n>".
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The stored firmware images and their sizes in bytes.
const std::map<std::uint16_t, std::uint32_t> firmwareImages = {
    {119, 87552}, {120, 87552}, {122, 62848}, {124, 65792}, {125, 65792}, {126, 23552}, {127, 23552},
    {128, 23552}, {130, 23552}, {131, 121856}, {132, 121856}, {133, 121856}, {140, 97984}, {141, 97984},
    {142, 97968}, {143, 58224}, {145, 76224}, {146, 97792}, {147, 76320}, {148, 97792}, {151, 98304},
    {152, 64784}, {153, 77088}, {154, 86448}, {155, 74080}, {156, 48000}, {157, 98304}, {158, 98304},
    {159, 64752}, {160, 38480}, {170, 58336}, {171, 58336}, {172, 98304}, {173, 98304}, {174, 98304},
    {175, 94048}, {176, 94032}, {177, 94016}, {200, 63456},
};

// SHA-256 (FIPS 180-4) of a text short enough for one 64-byte block (55 bytes at most), appended.
inline void appendSha256(const std::string& text, std::vector<std::uint8_t>& out)
{
    static const std::uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01,
        0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc,
        0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
        0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08,
        0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
        0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}, w[64], v[8];
    std::uint8_t m[64] = {};                // the text, a one bit, zeros, its length in bits
    std::copy(text.begin(), text.end(), m);
    m[text.size()] = 0x80;
    m[62] = static_cast<std::uint8_t>(text.size() >> 5), m[63] = static_cast<std::uint8_t>(text.size() << 3);
    auto rotr = [](std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (int i = 0; i < 64; ++i)
        w[i] = i < 16 ? std::uint32_t{m[4 * i]} << 24 | m[4 * i + 1] << 16 | m[4 * i + 2] << 8 | m[4 * i + 3]
                      : w[i - 16] + (rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3)) + w[i - 7] +
                            (rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10));
    std::copy(h, h + 8, v);
    for (int i = 0; i < 64; ++i) {
        std::uint32_t t1 = v[7] + (rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25)) + ((v[4] & v[5]) ^ (~v[4] & v[6])) + k[i] + w[i];
        std::uint32_t t2 = (rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22)) + ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        std::copy_backward(v, v + 7, v + 8);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 32; ++i)
        out.push_back(static_cast<std::uint8_t>((h[i / 4] + v[i / 4]) >> (24 - 8 * (i % 4))));
}

// The placeholder stored under an ID; nothing for an ID that is not stored.
inline std::vector<std::uint8_t> expectedImage(std::uint16_t id)
{
    auto stored = firmwareImages.find(id);
    std::vector<std::uint8_t> image;
    for (unsigned n = 0; stored != firmwareImages.end() && image.size() < stored->second; ++n)
        appendSha256("zefran placeholder " + std::to_string(id) + " " + std::to_string(n), image);
    image.resize(stored != firmwareImages.end() ? stored->second : 0);
    return image;
}

#include "core/fingerprint.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrow {

namespace {
constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
} // namespace

Fingerprint FingerprintOf(std::string_view bytes)
{
    Fingerprint fingerprint;
    fingerprint.add(bytes);
    return fingerprint;
}

// Four independent lanes of 8 bytes each, so that the multiplications overlap.
void Fingerprint::block(const unsigned char* bytes)
{
    for (int i = 0; i < 4; ++i) {
        std::uint64_t word;
        std::memcpy(&word, bytes + 8 * i, 8);
        lanes_[i] = std::rotl(lanes_[i] + word * kPrime2, 31) * kPrime1;
    }
}

void Fingerprint::add(std::string_view text)
{
    auto bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t size = text.size();
    length_ += size;
    if (tailSize_ > 0) {
        const std::size_t take = std::min(sizeof tail_ - tailSize_, size);
        std::memcpy(tail_ + tailSize_, bytes, take);
        tailSize_ += take;
        bytes += take;
        size -= take;
        if (tailSize_ < sizeof tail_)
            return;
        block(tail_);
        tailSize_ = 0;
    }
    for (; size >= sizeof tail_; bytes += sizeof tail_, size -= sizeof tail_)
        block(bytes);
    std::memcpy(tail_, bytes, size);
    tailSize_ = size;
}

std::uint64_t Fingerprint::value() const
{
    std::uint64_t h = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) +
                      std::rotl(lanes_[3], 18);
    h ^= length_ * kPrime1;
    for (std::size_t i = 0; i < tailSize_; ++i)
        h = std::rotl(h ^ (tail_[i] * kPrime2), 11) * kPrime1;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

} // namespace kestrow

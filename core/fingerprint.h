#pragma once
// The content fingerprint by which the data store tells whether the file still holds what
// Kestrow last read or wrote.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrow {

// A 64-bit fingerprint of bytes, built up piece by piece: bytes added in pieces give the
// value of the same bytes added at once. Quick enough for a file of many megabytes at every
// refresh; it tells changed contents apart, it is no defence against a forger.
class Fingerprint
{
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;

private:
    void block(const unsigned char* bytes);

    std::uint64_t lanes_[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                               0x85EBCA77C2B2AE63ull};
    unsigned char tail_[32] = {};
    std::size_t tailSize_ = 0;
    std::uint64_t length_ = 0;
};

// The fingerprint of bytes taken at once.
Fingerprint FingerprintOf(std::string_view bytes);

} // namespace kestrow

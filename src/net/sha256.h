// SHA-256 (FIPS 180-4) in the program itself, so that checking a downloaded archive needs no
// outside tool: a streaming hasher, the digest of a byte string and of a regular file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

class Sha256 {
public:
    Sha256();
    // Adds bytes; may be called any number of times before finish().
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The 32-byte digest. The hasher is spent afterwards (reset() makes it new again).
    std::array<uint8_t, 32> finish();
    void reset();

private:
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> state_{};
    std::array<uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    uint64_t totalBytes_ = 0;
};

// Lower-case hex of a digest.
std::string toHex(const std::array<uint8_t, 32>& digest);
// Lower-case hex SHA-256 of bytes.
std::string sha256Hex(std::string_view bytes);

// Lower-case hex SHA-256 of the regular file at path. nullopt when the path is missing, is not
// a regular file (a symbolic link is not followed, a FIFO is not waited on) or cannot be read.
std::optional<std::string> sha256OfRegularFile(const std::string& path);

}  // namespace net

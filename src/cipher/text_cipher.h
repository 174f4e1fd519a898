// The text cipher: a one-time pad of digits "1".."9" in hash.txt; each character of a text
// becomes three decimal digits, its value offset by three pad digits read as a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kPadLength = 65535;
inline constexpr const char* kPadFileName = "hash.txt";

// Value of a character: codes 32..126 give 1..95 (code − 31; "$" is 5), anything else 96.
int characterValue(unsigned char c);
// Character of a value: 1..95 give codes 32..126; any other value gives no character.
std::optional<char> characterOfValue(int value);

// Length of a pad written over a file of fileLength bytes: the next whole multiple of 65535.
std::size_t padLengthFor(std::size_t fileLength);

// Digit k (1-based) of a pad: the digit sum, repeated down to one digit, of
// k + round(r × 254254 + 1) + tick, with r the next uniform number in [0, 1).
std::string makePad(std::size_t length, int64_t tick, const std::function<double()>& random);

// Three digits per character of text while the pad lasts: pad group + value, less 200 when
// above 199, with leading zeros.
std::string encipher(std::string_view text, std::string_view pad);

// The reverse, group by group from the end of the enciphered text; a group whose value falls
// outside 1..95 gives no character, and groups without pad bytes give nothing.
std::string decipher(std::string_view enciphered, std::string_view pad);

// The text cipher: a one-time pad of digits "1".."9" in hash.txt; each character of a text
// becomes three decimal digits, its value offset by three pad digits read as a number.
#pragma once

#include <cstddef>
#include <cstdint>
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
// k + round(r × 254254 + 1) + tick, with r = random() the next uniform number in [0, 1).
template <typename Random>
std::string makePad(std::size_t length, int64_t tick, Random&& random) {
    std::string pad(length, '1');
    for (std::size_t counter = 1; counter <= length; ++counter) {
        // r is never negative: adding one half and truncating rounds half up.
        auto randomValue = static_cast<int64_t>(random() * 254254.0 + 1.5);
        int64_t sum = static_cast<int64_t>(counter) + randomValue + tick;
        // The repeated digit sum of a positive number: its remainder by 9, with 9 for 0.
        int64_t digit = sum % 9;
        if (digit <= 0) digit += 9;
        pad[counter - 1] = static_cast<char>('0' + digit);
    }
    return pad;
}

// Three digits per character of text while the pad lasts: pad group + value, less 200 when
// above 199, with leading zeros.
std::string encipher(std::string_view text, std::string_view pad);

// The reverse, group by group from the end of the enciphered text; a group whose value falls
// outside 1..95 gives no character, and groups without pad bytes give nothing.
std::string decipher(std::string_view enciphered, std::string_view pad);

// text enciphered with a fresh pad written to padFile (a new private file each time).
std::string encipherWithFreshPad(std::string_view text, const std::string& padFile);
// enciphered deciphered with the pad in padFile.
std::string decipherWithPad(std::string_view enciphered, const std::string& padFile);

// The cipher routines.
void CREATEHASHFILE();
void ENCRYPTSTRING3();
void DECRYPTSTRING3();

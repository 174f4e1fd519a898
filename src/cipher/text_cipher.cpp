// Text cipher routines (CREATEHASHFILE, ENCRYPTSTRING3, DECRYPTSTRING3) and their arithmetic.
// The pad file is private (mode 0600): with it, the stored password can be read back.
#include "cipher/text_cipher.h"

#include "core/shared_state.h"
#include "host/platform.h"
#include "host/whole_file.h"

int characterValue(unsigned char c) { return (c >= 32 && c <= 126) ? c - 31 : 96; }

std::optional<char> characterOfValue(int value) {
    if (value < 1 || value > 95) return std::nullopt;
    return static_cast<char>(value + 31);
}

std::size_t padLengthFor(std::size_t fileLength) {
    return (fileLength / kPadLength + 1) * kPadLength;
}

namespace {

int groupNumber(std::string_view digits) {
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;  // a group counts up to its first non-digit
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

std::string encipher(std::string_view text, std::string_view pad) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size() && 3 * i + 3 <= pad.size(); ++i) {
        int value = groupNumber(pad.substr(3 * i, 3)) + characterValue(text[i]);
        if (value > 199) value -= 200;
        out.push_back(static_cast<char>('0' + value / 100));
        out.push_back(static_cast<char>('0' + value / 10 % 10));
        out.push_back(static_cast<char>('0' + value % 10));
    }
    return out;
}

std::string decipher(std::string_view enciphered, std::string_view pad) {
    std::string reversed;
    for (std::size_t end = enciphered.size(); end >= 3; end -= 3) {
        if (end > pad.size()) continue;  // no pad bytes at these positions
        int value =
            groupNumber(enciphered.substr(end - 3, 3)) - groupNumber(pad.substr(end - 3, 3));
        if (value < 0) value += 200;
        if (auto c = characterOfValue(value)) reversed.push_back(*c);
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

namespace {

// Replaces the file at path by a fresh private pad of the given length.
std::string writeFreshPad(const std::string& path, std::size_t length) {
    Platform& p = platform();
    std::string pad = makePad(length, p.epochSeconds(), [&p] { return p.random01(); });
    writeWholeFile(path, pad, FileMode::Private);
    return pad;
}

}  // namespace

void CREATEHASHFILE() {
    const std::string path = S().FILENAME;
    writeFreshPad(path, padLengthFor(readWholeFile(path, FileMode::Private).size()));
}

std::string encipherWithFreshPad(std::string_view text, const std::string& padFile) {
    // Each encipherment takes a new pad; the new private file replaces the old one.
    return encipher(text, writeFreshPad(padFile, kPadLength));
}

std::string decipherWithPad(std::string_view enciphered, const std::string& padFile) {
    return decipher(enciphered, readWholeFile(padFile, FileMode::Private));
}

void ENCRYPTSTRING3() {
    SharedState& s = S();
    s.FILENAME = kPadFileName;
    s.ENCRYPTEDSTRING = encipherWithFreshPad(s.INPUTSTRING, kPadFileName);
}

void DECRYPTSTRING3() { S().DECRYPTEDSTRING = decipherWithPad(S().ENCRYPTEDSTRING, kPadFileName); }

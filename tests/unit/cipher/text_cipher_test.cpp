// Text cipher: value table (with "$"), three-digit groups, round trips, pad file contents and
// its private mode, and the loss of older texts when a new pad is made.
#include "cipher/text_cipher.h"

#include <sys/stat.h>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

std::string printableCharacters() {
    std::string all;
    for (int c = 32; c <= 126; ++c) all.push_back(static_cast<char>(c));
    return all;
}

TEST(CipherArithmetic, GroupsOfThreeDigitsAndTheWrapAt200) {
    struct Case {
        std::string text, pad, enciphered;
    } cases[] = {
        {" ", "150", "151"},         // space is 1
        {"~", "999", "894"},         // 999 + 95 = 1094, less 200
        {"$", "111", "116"},         // "$" has the value 5
        {"!", "199", "001"},         // 199 + 2 = 201, less 200
        {"A", "250", "084"},         // 250 + 34 = 284, less 200: leading zero
        {"ab", "123456", "189323"},  // 123 + 66, 456 + 67 - 200
        {"\x80", "111", "007"},      // no value: 96, 111 + 96 = 207, less 200
        {"abc", "1234", "189"},      // the pad ran out after one character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encipher(c.text, c.pad), c.enciphered) << c.text;
    }
}

TEST(CipherArithmetic, RoundTripOfEveryPrintableCharacterWithDollar) {
    const std::string pad = makePad(kPadLength, 1'700'000'000, [] {
        static double r = 0.0;
        r += 0.618033988749895;
        if (r >= 1.0) r -= 1.0;
        return r;
    });
    const std::string text = printableCharacters();
    const std::string enciphered = encipher(text, pad);
    EXPECT_EQ(enciphered.size(), 3 * text.size());
    EXPECT_EQ(enciphered.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(decipher(enciphered, pad), text);
}

TEST(CipherArithmetic, ValuesOutsideTheTableGiveNoCharacter) {
    EXPECT_EQ(decipher("007", "111"), "");         // value 96: an unlisted character
    EXPECT_EQ(decipher("111", "111"), "");         // value 0
    EXPECT_EQ(decipher("116", "111"), "$");        // value 5 is "$", not a second space
    EXPECT_EQ(decipher("151207", "150111"), " ");  // the unlisted one drops, the rest stays
    EXPECT_EQ(decipher("151", ""), "");            // no pad, no text
    EXPECT_EQ(characterOfValue(96), std::nullopt);
    EXPECT_EQ(characterValue('$'), 5);
    EXPECT_EQ(characterValue(' '), 1);
    EXPECT_EQ(characterValue('\n'), 96);
}

TEST(MakePad, DigitSumsOfCounterRandomAndTick) {
    EXPECT_EQ(makePad(3, 0, [] { return 0.0; }), "234");  // sums 2, 3, 4
    EXPECT_EQ(makePad(9, 0, [] { return 0.0; }), "234567891");
    // r = 0.5: 127128 + counter; 127129 -> 1+2+7+1+2+9 = 22 -> 4
    EXPECT_EQ(makePad(1, 0, [] { return 0.5; }), "4");
    EXPECT_EQ(padLengthFor(0), 65535u);
    EXPECT_EQ(padLengthFor(65535), 131070u);
}

class PadFile : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        std::filesystem::current_path(dir.path());
        saved_ = umask(0);
    }
    void TearDown() override {
        umask(saved_);
        WithFakePlatform::TearDown();
    }
    mode_t padMode() {
        struct stat st {};
        EXPECT_EQ(stat("hash.txt", &st), 0);
        return st.st_mode & 0777;
    }
    ScopedTempDir dir;

private:
    mode_t saved_ = 0;
};

TEST_F(PadFile, EncipherWritesPrivatePadOfDigitsOneToNine) {
    writeFileBytes(dir / "hash.txt", "an old, wider pad");
    chmod((dir / "hash.txt").c_str(), 0644);
    fake.nextRandom = 0.3;
    S().INPUTSTRING = "pa$$ word~";
    ENCRYPTSTRING3();
    const std::string pad = readFileBytes(dir / "hash.txt");
    EXPECT_EQ(pad.size(), 65535u);
    EXPECT_EQ(pad.find_first_not_of("123456789"), std::string::npos);
    EXPECT_EQ(padMode(), 0600u);
    EXPECT_EQ(S().FILENAME, "hash.txt");
    EXPECT_EQ(S().ENCRYPTEDSTRING, encipher("pa$$ word~", pad));
    DECRYPTSTRING3();
    EXPECT_EQ(S().DECRYPTEDSTRING, "pa$$ word~");
}

TEST_F(PadFile, NewEncipherInvalidatesOlderText) {
    fake.nextRandom = 0.1;
    S().INPUTSTRING = "secret";
    ENCRYPTSTRING3();
    const std::string older = S().ENCRYPTEDSTRING;
    fake.nextRandom = 0.7;
    S().INPUTSTRING = "other";
    ENCRYPTSTRING3();
    S().ENCRYPTEDSTRING = older;
    DECRYPTSTRING3();
    EXPECT_NE(S().DECRYPTEDSTRING, "secret");
}

TEST_F(PadFile, DecipherWithoutPadGivesNothingAndLeavesPrivateEmptyPad) {
    S().ENCRYPTEDSTRING = "151";
    DECRYPTSTRING3();
    EXPECT_EQ(S().DECRYPTEDSTRING, "");
    EXPECT_EQ(readFileBytes(dir / "hash.txt"), "");
    EXPECT_EQ(padMode(), 0600u);
}

TEST_F(PadFile, CreateHashFileGrowsToNextMultiple) {
    writeFileBytes(dir / "hash.txt", std::string(70000, 'x'));
    S().FILENAME = "hash.txt";
    CREATEHASHFILE();
    EXPECT_EQ(readFileBytes(dir / "hash.txt").size(), 131070u);
    EXPECT_EQ(padMode(), 0600u);
}

}  // namespace

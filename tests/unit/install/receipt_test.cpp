// The receipt: its text survives a round trip (odd paths included), a text that is not a
// receipt is refused, a second installation's receipt merges into the first, and a changed
// file no longer counts as laid.
#include "install/receipt.h"

#include "test_support.h"

namespace {

using receipt::Entry;
using receipt::Kind;

TEST(Receipt, RoundTripsAndRefusesWhatIsNotAReceipt) {
    const std::string h(64, 'a');
    receipt::Receipt r;
    r.signedAt = 1733700000;
    r.entries = {{Kind::Folder, "/home/u/wallet", ""},
                 {Kind::File, "/home/u/wallet/wallet", h},
                 {Kind::Launcher, "/home/u/Desktop/Corvane wallet.desktop", h},
                 {Kind::AllUsersLauncher, "/usr/share/applications/wallet.desktop", h},
                 {Kind::File, "/home/u/odd\nname %41\x7f", h}};
    const std::string text = receipt::format(r);
    EXPECT_EQ(receipt::parse(text), r) << text;
    EXPECT_EQ(text.find("odd\n"), std::string::npos);

    for (const char* bad :
         {"", "corvane-receipt 2\n", "corvane-receipt 1\nfile abc /x\n",
          "corvane-receipt 1\nfolder - relative/path\n", "corvane-receipt 1\nlink - /x\n",
          "corvane-receipt 1\nfile\n", "corvane-receipt 1\nfolder - /bad%4\n",
          "corvane-receipt 1\nsigned-at 12x\n"}) {
        EXPECT_FALSE(receipt::parse(bad)) << bad;
    }
}

TEST(Receipt, SecondInstallationMergesAndChangedFilesAreNotLaid) {
    ScopedTempDir dir;
    const std::string folder = dir.path();
    const std::string program = folder + "/wallet";
    writeFileBytes(program, "first");
    receipt::Receipt first;
    receipt::addFolder(first, folder);
    ASSERT_TRUE(receipt::addLaid(first, Kind::File, program));
    EXPECT_FALSE(receipt::addLaid(first, Kind::File, folder + "/missing"));
    ASSERT_EQ(receipt::save(folder, first), 0);

    writeFileBytes(program, "second");
    receipt::Receipt second;
    second.signedAt = 5;
    ASSERT_TRUE(receipt::addLaid(second, Kind::File, program));
    ASSERT_EQ(receipt::save(folder, second), 0);

    const auto loaded = receipt::load(folder);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->entries.size(), 2u);  // the folder of the first stays listed
    EXPECT_EQ(loaded->entries[0].kind, Kind::Folder);
    EXPECT_EQ(loaded->signedAt, 5);
    EXPECT_TRUE(receipt::unchanged(loaded->entries[1]));
    writeFileBytes(program, "the user's own");
    EXPECT_FALSE(receipt::unchanged(loaded->entries[1]));
}

}  // namespace

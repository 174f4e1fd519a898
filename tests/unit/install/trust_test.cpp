// The questions before root: an archive that is not authenticated, and one older than the
// installation, reach root only after a y; anything else, Enter included, is no.
#include "install/trust.h"

#include "test_support.h"

namespace {

using net::ArchiveVerdict;

net::ArchiveCheck checkOf(ArchiveVerdict verdict, std::optional<std::int64_t> signedAt = {}) {
    net::ArchiveCheck c;
    c.verdict = verdict;
    c.signedAt = signedAt;
    return c;
}

class Trust : public WithFakePlatform {
protected:
    // A key typed after the question is drawn (the pending ones are discarded first).
    void answer(const std::string& key) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.keys.push_back(Key{KeyKind::Char, key});
    }
};

TEST_F(Trust, OnlyAYesLetsAnUnauthenticatedArchiveReachRoot) {
    struct Case {
        ArchiveVerdict verdict;
        const char* key;  // nullptr: no question expected
        bool allowed;
    };
    const Case cases[] = {
        {ArchiveVerdict::SignedAndChecked, nullptr, true},
        {ArchiveVerdict::SumsChecked, "y", true},
        {ArchiveVerdict::SumsChecked, "Y", true},
        {ArchiveVerdict::SumsChecked, "n", false},
        {ArchiveVerdict::NotVerified, "\r", false},
        {ArchiveVerdict::NotVerified, "y", true},
        {ArchiveVerdict::NotVerified, "1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key ? c.key : "-") + " " + std::to_string(int(c.verdict)));
        fake.screen.clear();
        fake.keys.clear();
        if (c.key) answer(c.key);
        EXPECT_EQ(install::askInstallUnverified(checkOf(c.verdict), {"a.deb", "b.deb"}), c.allowed);
        const bool asked = fake.screen.find("Install these packages without verification? [y/N]") !=
                           std::string::npos;
        EXPECT_EQ(asked, c.key != nullptr);
        if (asked) {
            EXPECT_NE(fake.screen.find("   a.deb"), std::string::npos);
            EXPECT_NE(fake.screen.find(c.verdict == ArchiveVerdict::SumsChecked
                                           ? "(the archive's SHA256SUMS is not signed)"
                                           : "(the archive has no SHA256SUMS)"),
                      std::string::npos);
        }
    }
    // Nothing for root: nothing to ask.
    EXPECT_TRUE(install::askInstallUnverified(checkOf(ArchiveVerdict::NotVerified), {}));
    EXPECT_EQ(install::notAuthenticatedStatus(checkOf(ArchiveVerdict::SumsChecked), true),
              "APPLICATION STATUS= Installation Stopped, Not Authenticated (not signed)");
    EXPECT_EQ(install::notAuthenticatedStatus(checkOf(ArchiveVerdict::NotVerified), false),
              "Installation Stopped, Not Authenticated (no SHA256SUMS)");
}

TEST_F(Trust, AnArchiveSignedBeforeTheInstalledOneIsARollback) {
    EXPECT_FALSE(install::isRollback(std::nullopt, 100));  // nothing recorded
    EXPECT_FALSE(install::isRollback(100, std::nullopt));
    EXPECT_FALSE(install::isRollback(100, 100));
    EXPECT_FALSE(install::isRollback(100, 101));
    EXPECT_TRUE(install::isRollback(100, 99));

    ScopedTempDir dir;
    receipt::Receipt installed;
    installed.signedAt = 1796793300;
    ASSERT_EQ(receipt::save(dir.path(), installed), 0);
    EXPECT_EQ(install::installedSignatureTime(dir.path()), 1796793300);

    const auto older = checkOf(ArchiveVerdict::SignedAndChecked, 1796793300 - 86400);
    answer("n");
    EXPECT_FALSE(install::mayInstallOlderArchive(older, dir.path()));
    EXPECT_NE(fake.screen.find("installed archive signed 2026-12-09 05:15:00 UTC"),
              std::string::npos);
    EXPECT_NE(fake.screen.find("downloaded archive signed 2026-12-08 05:15:00 UTC"),
              std::string::npos);
    answer("y");
    EXPECT_TRUE(install::mayInstallOlderArchive(older, dir.path()));
    fake.screen.clear();
    EXPECT_TRUE(install::mayInstallOlderArchive(
        checkOf(ArchiveVerdict::SignedAndChecked, 1796793300), dir.path()));
    EXPECT_TRUE(install::mayInstallOlderArchive(older, dir / "no-installation"));
    EXPECT_EQ(fake.screen.find("[y/N]"), std::string::npos);

    // The receipt hook: the time of a good signature, nothing for an unsigned archive.
    receipt::Receipt r;
    install::recordSignature(r, older);
    EXPECT_EQ(r.signedAt, 1796793300 - 86400);
    install::recordSignature(r, checkOf(ArchiveVerdict::SumsChecked, 5));
    EXPECT_EQ(r.signedAt, std::nullopt);
}

}  // namespace

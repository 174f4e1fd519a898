// The archive check: sha256sum's format, gpgv's answers, and the verdict on a folder for each
// combination of sums, signature, keyring and file state (gpgv answered by the fake platform;
// the real gpgv is exercised end to end).
#include "net/archive_check.h"

#include <unistd.h>

#include <functional>
#include <tuple>

#include "net/sha256.h"
#include "test_support.h"

namespace {

using net::ArchiveVerdict;

TEST(Sha256Sums, ParsesWhatSha256sumWrites) {
    const std::string a(64, 'a'), b = std::string(63, '0') + "F";
    struct Case {
        std::string text;
        std::vector<std::pair<std::string, std::string>> entries;  // digest, path
        int badLine;
    };
    const Case cases[] = {
        {a + "  wallet.ico\n" + b + " *Linux/wallet\n",
         {{a, "wallet.ico"}, {std::string(63, '0') + "f", "Linux/wallet"}},
         0},
        {a + "  ./Linux//wallet\r\n\n" + a + "  a b\n", {{a, "Linux/wallet"}, {a, "a b"}}, 0},
        {"\\" + a + "  back\\\\slash\\nline\n", {{a, "back\\slash\nline"}}, 0},
        {a + "  x\nSHA256 (x) = " + a + "\n", {}, 2},
        {a + "  /etc/passwd\n", {}, 1},
        {a + "  Linux/../../x\n", {}, 1},
        {std::string(63, 'a') + "g  x\n", {}, 1},
        {a + "  \n", {}, 1},
        {"\\" + a + "  bad\\qescape\n", {}, 1},
        {"", {}, 0},
    };
    for (const Case& c : cases) {
        const net::SumsParse p = net::parseSha256Sums(c.text);
        EXPECT_EQ(p.badLine, c.badLine) << c.text;
        std::vector<std::pair<std::string, std::string>> got;
        for (const auto& e : p.entries) got.emplace_back(e.digest, e.path);
        EXPECT_EQ(got, c.entries) << c.text;
    }
}

TEST(Sha256Sums, ReadsTheOutputOfTheRealTool) {
    ScopedTempDir dir;
    std::filesystem::create_directories(dir / "Linux");
    writeFileBytes(dir / "Linux/wallet", "#!/bin/sh\n");
    writeFileBytes(dir / "odd\\name", "x");
    const std::string out =
        shellOutput("cd " + dir.path() + " && sha256sum Linux/wallet 'odd\\name' -b");
    const net::SumsParse p = net::parseSha256Sums(out);
    ASSERT_EQ(p.badLine, 0) << out;
    ASSERT_EQ(p.entries.size(), 2u);
    EXPECT_EQ(p.entries[0].path, "Linux/wallet");
    EXPECT_EQ(p.entries[0].digest, net::sha256Hex("#!/bin/sh\n"));
    EXPECT_EQ(p.entries[1].path, "odd\\name");
}

TEST(GpgvAnswers, GoodOnlyWithExitZeroAndAValidSignatureLine) {
    const std::string valid =
        "[GNUPG:] NEWSIG\n[GNUPG:] GOODSIG 45A6 Maker\n[GNUPG:] VALIDSIG 99F7 x\n";
    struct Case {
        int rc;
        std::string status;
        std::optional<std::string> problem;
    };
    const Case cases[] = {
        {0, valid, std::nullopt},
        {1, "[GNUPG:] BADSIG 45A6 Maker\n", "bad signature"},
        {2, "[GNUPG:] ERRSIG 1234 22 8 00 1796 9 -\n[GNUPG:] NO_PUBKEY 1234\n", "unknown signer"},
        {127, "", "gpgv not found"},
        {0, "", "signature not valid"},                       // exit 0 but said nothing
        {1, valid, "signature not valid"},                    // a good line, a failed run
        {0, "[GNUPG:] GOODSIGX 1\n", "signature not valid"},  // keyword must stand whole
        {2, "[GNUPG:] NEWSIG\n[GNUPG:] BADSIG 1 M\n" + valid, "bad signature"},
        // gpgv's answers for a signature that checks out but is not good, VALIDSIG included.
        {0, "[GNUPG:] KEYEXPIRED 1\n[GNUPG:] EXPKEYSIG 45A6 Maker\n[GNUPG:] VALIDSIG 99F7 x\n",
         "expired key"},
        {0, "[GNUPG:] KEYREVOKED\n[GNUPG:] REVKEYSIG 45A6 Maker\n[GNUPG:] VALIDSIG 99F7 x\n",
         "revoked key"},
        {0, "[GNUPG:] EXPSIG 45A6 Maker\n[GNUPG:] VALIDSIG 99F7 x\n", "expired signature"},
        {0, "[GNUPG:] VALIDSIG 99F7 x\n", "signature not valid"},  // VALIDSIG alone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(net::signatureProblem(c.rc, c.status), c.problem) << c.rc << " " << c.status;
    }
    // The signature's creation time: VALIDSIG's third field, in seconds or ISO 8601 (UTC).
    const std::pair<std::string, std::optional<std::int64_t>> times[] = {
        {valid, std::nullopt},  // "x": no time
        {"[GNUPG:] VALIDSIG 99F7 2026-12-09 1796793300 0 4 0 22 10 00 99F7\n", 1796793300},
        {"[GNUPG:] VALIDSIG 99F7 2026-12-09 20261209T051500 0 4 0 22 10 00 99F7\n", 1796793300},
        {"[GNUPG:] GOODSIG 1 M\n", std::nullopt},
        {"[GNUPG:] VALIDSIG 99F7 2026-12-09 12ab 0\n", std::nullopt},
    };
    for (const auto& [status, time] : times) EXPECT_EQ(net::signatureTime(status), time) << status;
    EXPECT_EQ(net::gpgvCommand("/k/ring.gpg", "/t/S.gpg", "/t/S", "/t/status"),
              "gpgv --status-fd 1 --keyring /k/ring.gpg -- /t/S.gpg /t/S > /t/status 2> /dev/null");
}

// A sample archive folder as the installer downloads it, with the maker's sums.
struct ArchiveFolder {
    ScopedTempDir dir;
    std::string keyring = dir / "keyring.gpg";
    std::string folder = dir / "current";

    ArchiveFolder() {
        std::filesystem::create_directories(folder + "/Linux");
        writeFileBytes(folder + "/wallet.ico", "icon");
        writeFileBytes(folder + "/Linux/wallet", "#!/bin/sh\necho wallet\n");
        writeFileBytes(folder + "/Linux/lib.deb", "!<arch>\n");
        writeFileBytes(keyring, "public keys");
        writeSums({"wallet.ico", "Linux/wallet", "Linux/lib.deb"});
    }
    void writeSums(const std::vector<std::string>& names) {
        std::string sums;
        for (const auto& n : names) {
            sums += net::sha256Hex(readFileBytes(folder + "/" + n)) + "  " + n + "\n";
        }
        writeFileBytes(folder + "/SHA256SUMS", sums);
    }
    void sign() { writeFileBytes(folder + "/SHA256SUMS.gpg", "signature"); }
};

const char kGoodSignature[] =
    "[GNUPG:] GOODSIG 1 M\n[GNUPG:] VALIDSIG 1 2026-12-09 1796793300 0 4 0 22 10 00 1\n";

class ArchiveCheck : public WithFakePlatform {
protected:
    // Answers a gpgv run like gpgv would: writes `status` into the file after "> ".
    void answerGpgv(int rc, std::string status) {
        fake.onRun = [rc, status](const RecordedCommand& c) {
            const auto at = c.commandLine.find(" > ");
            const auto end = c.commandLine.find(" 2> ");
            writeFileBytes(c.commandLine.substr(at + 3, end - at - 3), status);
            return rc;
        };
    }
};

TEST_F(ArchiveCheck, VerdictForEachStateOfTheArchive) {
    struct Case {
        const char* name;
        std::function<void(ArchiveFolder&)> prepare;
        int gpgvRc;
        std::string gpgvStatus;
        ArchiveVerdict verdict;
        std::string file, reason;
        std::size_t gpgvRuns;
    };
    const std::vector<Case> cases = {
        {"no sums", [](ArchiveFolder& a) { std::remove((a.folder + "/SHA256SUMS").c_str()); }, 0,
         "", ArchiveVerdict::NotVerified, "", "", 0},
        {"sums, not signed", [](ArchiveFolder&) {}, 0, "", ArchiveVerdict::SumsChecked, "", "", 0},
        {"signed", [](ArchiveFolder& a) { a.sign(); }, 0, kGoodSignature,
         ArchiveVerdict::SignedAndChecked, "", "", 1},
        {"signed by a key not in the keyring", [](ArchiveFolder& a) { a.sign(); }, 2,
         "[GNUPG:] ERRSIG 1 22 8 00 1 9 -\n[GNUPG:] NO_PUBKEY 1\n", ArchiveVerdict::Refused,
         "SHA256SUMS.gpg", "unknown signer", 1},
        {"signature checked before the files",
         [](ArchiveFolder& a) {
             a.sign();
             writeFileBytes(a.folder + "/Linux/wallet", "altered");
         },
         1, "[GNUPG:] BADSIG 1 M\n", ArchiveVerdict::Refused, "SHA256SUMS.gpg", "bad signature", 1},
        {"signed, keyring missing",
         [](ArchiveFolder& a) {
             a.sign();
             std::remove(a.keyring.c_str());
         },
         0, kGoodSignature, ArchiveVerdict::Refused, "SHA256SUMS.gpg", "no keyring", 0},
        {"signature without sums",
         [](ArchiveFolder& a) {
             a.sign();
             std::remove((a.folder + "/SHA256SUMS").c_str());
         },
         0, kGoodSignature, ArchiveVerdict::Refused, "SHA256SUMS", "missing", 0},
        {"one byte changed",
         [](ArchiveFolder& a) {
             writeFileBytes(a.folder + "/Linux/wallet", "#!/bin/sh\necho wallEt\n");
         },
         0, "", ArchiveVerdict::Refused, "Linux/wallet", "sum mismatch", 0},
        {"half a package",
         [](ArchiveFolder& a) { writeFileBytes(a.folder + "/Linux/lib.deb", "!<ar"); }, 0, "",
         ArchiveVerdict::Refused, "Linux/lib.deb", "sum mismatch", 0},
        {"listed file missing",
         [](ArchiveFolder& a) { std::remove((a.folder + "/wallet.ico").c_str()); }, 0, "",
         ArchiveVerdict::Refused, "wallet.ico", "missing", 0},
        {"listed file is a link",
         [](ArchiveFolder& a) {
             std::remove((a.folder + "/wallet.ico").c_str());
             ASSERT_EQ(
                 symlink((a.folder + "/Linux/wallet").c_str(), (a.folder + "/wallet.ico").c_str()),
                 0);
             a.writeSums({"Linux/wallet"});
             writeFileBytes(a.folder + "/SHA256SUMS",
                            readFileBytes(a.folder + "/SHA256SUMS") +
                                net::sha256Hex(readFileBytes(a.folder + "/Linux/wallet")) +
                                "  wallet.ico\n");
         },
         0, "", ArchiveVerdict::Refused, "wallet.ico", "not a regular file", 0},
        {"needed file not listed", [](ArchiveFolder& a) { a.writeSums({"wallet.ico"}); }, 0, "",
         ArchiveVerdict::Refused, "Linux/wallet", "not in SHA256SUMS", 0},
        {"sums larger than 1 MiB",
         [](ArchiveFolder& a) {
             writeFileBytes(a.folder + "/SHA256SUMS",
                            readFileBytes(a.folder + "/SHA256SUMS") + std::string(1 << 20, '\n'));
         },
         0, "", ArchiveVerdict::Refused, "SHA256SUMS", "larger than 1 MiB", 0},
        {"signature larger than 64 KiB",
         [](ArchiveFolder& a) {
             writeFileBytes(a.folder + "/SHA256SUMS.gpg", std::string((64 << 10) + 1, 'x'));
         },
         0, kGoodSignature, ArchiveVerdict::Refused, "SHA256SUMS.gpg", "larger than 64 KiB", 0},
        {"signed by an expired key", [](ArchiveFolder& a) { a.sign(); }, 0,
         "[GNUPG:] EXPKEYSIG 1 M\n[GNUPG:] VALIDSIG 1 2026-12-09 1796793300 0 4 0 22 10 00 1\n",
         ArchiveVerdict::Refused, "SHA256SUMS.gpg", "expired key", 1},
        {"malformed sums",
         [](ArchiveFolder& a) {
             writeFileBytes(a.folder + "/SHA256SUMS",
                            readFileBytes(a.folder + "/SHA256SUMS") + "garbage\n");
         },
         0, "", ArchiveVerdict::Refused, "SHA256SUMS", "line 4: not a sum line", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFolder a;
        c.prepare(a);
        fake.commands.clear();
        answerGpgv(c.gpgvRc, c.gpgvStatus);
        const net::ArchiveCheck check =
            net::checkArchiveFolder(a.folder, a.keyring, {"wallet.ico", "Linux/wallet"});
        EXPECT_EQ(check.verdict, c.verdict);
        EXPECT_EQ(check.file, c.file);
        EXPECT_EQ(check.reason, c.reason);
        EXPECT_EQ(fake.commands.size(), c.gpgvRuns);
        // Only a good signature authenticates, and only then is its time known.
        EXPECT_EQ(check.authenticated(), c.verdict == ArchiveVerdict::SignedAndChecked);
        EXPECT_EQ(check.signedAt,
                  check.authenticated() ? std::optional<std::int64_t>(1796793300) : std::nullopt);
        for (const auto& cmd : fake.commands) {
            EXPECT_TRUE(cmd.cLocale);
            EXPECT_EQ(cmd.commandLine.rfind("gpgv --status-fd 1 --keyring " + a.keyring + " ", 0),
                      0u);
        }
    }
}

TEST_F(ArchiveCheck, GpgvChecksACopyOfTheSumsThatAreThenUsedAndItIsRemoved) {
    ArchiveFolder a;
    a.sign();
    std::string copied, copyPath;
    fake.onRun = [&](const RecordedCommand& c) {
        // gpgv --status-fd 1 --keyring K -- SIG SUMS > STATUS 2> /dev/null
        std::istringstream words(c.commandLine);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        copyPath = w[7];
        copied = readFileBytes(copyPath);
        EXPECT_EQ(readFileBytes(w[6]), "signature");
        writeFileBytes(w[9], kGoodSignature);
        return 0;
    };
    const net::ArchiveCheck check = net::checkArchiveFolder(a.folder, a.keyring);
    EXPECT_EQ(check.verdict, ArchiveVerdict::SignedAndChecked);
    EXPECT_EQ(copied, readFileBytes(a.folder + "/SHA256SUMS"));
    EXPECT_NE(copyPath.rfind(a.folder, 0), 0u);  // not the downloaded file itself
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(copyPath).parent_path()));
}

TEST(ArchiveKeyring, ARelativeKeyringIsReadBesideTheExecutableItself) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/usr/share/corvane-installer/archive-keyring.gpg", "/opt/x",
         "/usr/share/corvane-installer/archive-keyring.gpg"},
        {"archive-keyring.gpg", "/home/u/installer", "/home/u/installer/archive-keyring.gpg"},
        {"archive-keyring.gpg", "/", "/archive-keyring.gpg"},
        {"archive-keyring.gpg", "", ""},  // no folder known: no keyring, never the cwd's file
        {"", "/opt/x", ""},
    };
    for (const auto& [configured, folder, expected] : cases)
        EXPECT_EQ(net::keyringPathFor(configured, folder), expected) << configured << " " << folder;
    // The folder of this very executable, whatever the folder of the installer's own files.
    S().THISPROGRAMEXECUTABLEFILEPATH = "/somewhere/state";
    EXPECT_EQ(net::executableFolder(),
              std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    EXPECT_EQ(net::archiveKeyringPath().rfind("/somewhere/state", 0), std::string::npos);
    resetSharedState();
}

TEST(ArchiveCheckResult, FilesTheSumsDoNotListAreNotInstalled) {
    net::ArchiveCheck none;
    EXPECT_TRUE(none.allows("Linux/anything.deb"));
    EXPECT_EQ(none.statusText(), "archive not verified (no SHA256SUMS)");

    net::ArchiveCheck sums;
    sums.verdict = ArchiveVerdict::SignedAndChecked;
    sums.listed = {"Linux/wallet"};
    EXPECT_TRUE(sums.allows("Linux/wallet"));
    EXPECT_TRUE(sums.allows("./Linux/wallet"));
    EXPECT_FALSE(sums.allows("Linux/extra.deb"));
    EXPECT_EQ(sums.statusText(), "archive verified (signed SHA256SUMS)");

    net::ArchiveCheck refused;
    refused.verdict = ArchiveVerdict::Refused;
    refused.file = "Linux/wallet";
    refused.reason = "sum mismatch";
    refused.listed = {"Linux/wallet"};
    EXPECT_FALSE(refused.allows("Linux/wallet"));
    EXPECT_EQ(refused.statusText(),
              "Installation Stopped, Not Verified: Linux/wallet (sum mismatch)");
}

}  // namespace

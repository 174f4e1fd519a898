// Typed installation paths: the wallet rule, relative paths read against the start folder, and
// the paths refused before any flow makes folders or command lines of them.
#include "install/typed_path.h"

#include "test_support.h"

namespace {

struct TypedCase {
    std::string typed;
    std::string startFolder;
    std::string path;     // taken path, or
    std::string refusal;  // the status that refuses it
};

TEST(TypedInstallationPath, RelativeToTheStartFolderAndWithinLinuxLimits) {
    const std::string start = "/home/u/start";
    // Paths that come out exactly at the longest taken length, and one byte over.
    const std::string fullName(255, 'n');
    std::string longest = "/";
    while (longest.size() + fullName.size() + 1 <= install::kLongestInstallationPath - 7)
        longest += fullName + "/";
    longest += std::string(install::kLongestInstallationPath - 7 - longest.size(), 'x');
    const std::string tooLongRefusal = "Path Refused, Longer Than 3967 Bytes";
    const TypedCase cases[] = {
        {"/srv/apps", start, "/srv/apps/wallet", ""},
        {"apps", start, start + "/apps/wallet", ""},
        {"-rf", start, start + "/-rf/wallet", ""},
        {"../mywallet", start, start + "/../mywallet", ""},
        {"apps", "/", "/apps/wallet", ""},
        {"", start, "/wallet", ""},
        {"apps", "", "", "Path Refused, Start Folder Unknown: Type A Full Path"},
        {"/srv/" + fullName, start, "/srv/" + fullName + "/wallet", ""},
        {"/srv/" + fullName + "x", start, "", "Path Refused, A Folder Name Longer Than 255 Bytes"},
        {longest, start, longest + "/wallet", ""},
        {longest + "x", start, "", tooLongRefusal},
        {std::string(4000, 'A'), start, "", tooLongRefusal},
        {std::string("/srv/a\0b", 8), start, "", "Path Refused, It Holds A Zero Byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 60) + " (" + std::to_string(c.typed.size()) + " bytes)");
        const install::TypedPath got = install::typedInstallationPath(c.typed, c.startFolder);
        EXPECT_EQ(got.path.value_or(""), c.path);
        EXPECT_EQ(got.refusal, c.refusal);
        // The selected-wallet menu has the least room for a status: 80 - 1 - 21 columns.
        EXPECT_LE(got.refusal.size(), 58u);
    }
}

}  // namespace

// The no-follow folder walk: a link on the way stops it (the user's own link as much as
// another's), a file on the way is no folder, ".." is refused, and the first folder that
// someone other than root and the user can change is named (a sticky one counts as safe).
#include "host/no_follow.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(NoFollowWalk, StopsAtLinksAndNamesFoldersOthersCanChange) {
    ScopedTempDir dir;
    const std::string d = dir.path();
    fs::create_directories(d + "/a/b");
    fs::create_directories(d + "/open/in");
    fs::create_directories(d + "/sticky/in");
    fs::permissions(d + "/open", fs::perms(0777));
    fs::permissions(d + "/sticky", fs::perms(01777));
    fs::create_directory_symlink(d + "/a", d + "/link");
    writeFileBytes(d + "/file", "x");
    struct Row {
        std::string path;
        bool opens;
        std::string linkAt;
        std::string othersCanChange;
        int error;
    };
    const Row rows[] = {
        {d + "/a/b", true, "", "", 0},
        {d + "//a/./b/", true, "", "", 0},
        {d + "/link/b", false, d + "/link", "", ELOOP},
        {d + "/link", false, d + "/link", "", ELOOP},
        {d + "/file/b", false, "", "", ENOTDIR},
        {d + "/a/../a", false, d + "/a/..", "", EINVAL},
        {d + "/missing/b", false, "", "", ENOENT},
        {d + "/open/in", true, "", d + "/open", 0},
        {d + "/sticky/in", true, "", "", 0},
        {"relative/path", false, "", "", EINVAL},
    };
    // The walk starts at "/": a folder above the temporary one that others could change would
    // be named first (it is not, where the tests run).
    ASSERT_EQ(host::walkToFolder(d, getuid()).othersCanChange, "");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        const host::FolderWalk w = host::walkToFolder(r.path, getuid());
        EXPECT_EQ(w.folder.valid(), r.opens);
        EXPECT_EQ(w.linkAt, r.linkAt);
        EXPECT_EQ(w.othersCanChange, r.othersCanChange);
        EXPECT_EQ(w.error, r.error);
        if (r.opens) {
            struct stat walked {
            }, direct{};
            ASSERT_EQ(fstat(w.folder.get(), &walked), 0);
            ASSERT_EQ(stat(r.path.c_str(), &direct), 0);
            EXPECT_EQ(walked.st_ino, direct.st_ino);
        }
    }
}

}  // namespace

// Shared fixtures of the unit tests: a fake platform that records what was asked, a scoped
// temporary folder, and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "core/shared_state.h"
#include "host/platform.h"
#include "install/auto_install.h"
#include "install/typed_path.h"
#include "storage/wallet_scan.h"

struct RecordedCommand {
    std::string commandLine;
    std::optional<std::string> input;
    bool cLocale = false;
    std::string cwd;
    int timeLimitSeconds = 0;
};

class FakePlatform : public Platform {
public:
    // What run() does besides recording: the handler may create files, print, etc.
    std::function<int(const RecordedCommand&)> onRun;
    std::vector<RecordedCommand> commands;
    std::string screen;             // everything written
    std::deque<Key> keys;           // keys to hand out; empty => Timeout (or EOF if eofWhenEmpty)
    std::deque<std::string> lines;  // lines for readLine
    std::vector<bool> lineEchoes;   // echo flag of each readLine call
    std::set<std::string> existingSystemPaths;
    LocalDateTime clock{2026, 12, 7, 8, 14, 46, 0};
    int64_t sleptMs = 0;
    double nextRandom = 0.5;
    bool eofWhenEmpty = false;

    // cwd is the folder the command was given (as the real child would see it after entering
    // it), else the current folder. A folder that cannot be entered runs nothing: 127.
    int run(const std::string& commandLine, const CommandOptions& options) override {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path().string();
        if (!options.workingFolder.empty())
            cwd = std::filesystem::canonical(options.workingFolder, ec).string();
        const bool enterable =
            !ec && std::filesystem::is_directory(cwd, ec) && access(cwd.c_str(), X_OK) == 0;
        RecordedCommand c{commandLine, options.input, options.cLocale,
                          enterable ? cwd : options.workingFolder, options.timeLimitSeconds};
        commands.push_back(c);
        if (!enterable) return 127;
        if (!onRun) return 0;
        // The handler runs where the command would: handlers that run the line for real (or
        // write its files by relative name) land in the command's folder.
        const std::filesystem::path saved = std::filesystem::current_path();
        std::filesystem::current_path(cwd);
        struct Back {
            std::filesystem::path to;
            ~Back() {
                std::error_code ignored;
                std::filesystem::current_path(to, ignored);
            }
        } back{saved};
        return onRun(c);
    }
    void write(std::string_view bytes) override { screen.append(bytes); }
    CursorPos cursorReply{5, 7};  // where the terminal says the cursor is
    std::optional<CursorPos> queryCursor() override { return cursorReply; }
    Key readKey(int timeoutMs) override {
        if (keys.empty()) {
            if (eofWhenEmpty) return Key{KeyKind::EndOfInput, ""};
            if (timeoutMs > 0) advanceMs(timeoutMs);
            return Key{KeyKind::Timeout, ""};
        }
        Key k = keys.front();
        keys.pop_front();
        return k;
    }
    std::string readLine(bool echo) override {
        lineEchoes.push_back(echo);
        if (lines.empty()) return "";
        std::string l = lines.front();
        lines.pop_front();
        return l;
    }
    void sleepMs(int64_t ms) override {
        sleptMs += ms;
        advanceMs(ms);
    }
    LocalDateTime now() override { return clock; }
    int64_t epochSeconds() override { return 1'796'000'000; }
    double random01() override { return nextRandom; }
    bool systemPathExists(const std::string& path) override {
        return existingSystemPaths.count(path) != 0;
    }

    void pressKey(std::string k) { keys.push_back(Key{KeyKind::Char, std::move(k)}); }
    std::vector<std::string> commandLines() const {
        std::vector<std::string> v;
        for (const auto& c : commands) v.push_back(c.commandLine);
        return v;
    }
    // Advances the clock (seconds roll into minutes and hours; the date stays).
    void advanceMs(int64_t ms) {
        int64_t total =
            ((clock.hour * 60 + clock.minute) * 60 + clock.second) * 1000 + clock.millisecond + ms;
        clock.millisecond = static_cast<int>(total % 1000);
        total /= 1000;
        clock.second = static_cast<int>(total % 60);
        total /= 60;
        clock.minute = static_cast<int>(total % 60);
        clock.hour = static_cast<int>((total / 60) % 24);
    }
};

// Installs a FakePlatform and fresh shared state for one test; restores the real platform.
class WithFakePlatform : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        setPlatform(&fake);
    }
    void TearDown() override {
        setPlatform(nullptr);
        resetState();
    }
    static void resetState() { resetSharedState(); }
    FakePlatform fake;
};

// A temporary folder, removed with its contents at the end of the scope; the current folder
// is restored too.
class ScopedTempDir {
public:
    ScopedTempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
        saved_ = std::filesystem::current_path();
    }
    ~ScopedTempDir() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::filesystem::path saved_;
};

// How every elevated command line begins: sudo reading the password line without a prompt of
// its own, then the shell that gives the command /dev/null as its standard input.
inline const std::string kSudo = "sudo -kS -p '' sh -c 'exec \"$@\" </dev/null' sh ";

inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The permission bits of a file (07777), failing the test when it cannot be examined.
inline unsigned modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// What a command line prints on its standard output when /bin/sh runs it.
inline std::string shellOutput(const std::string& commandLine) {
    FILE* pipe = popen(commandLine.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string out;
    if (pipe == nullptr) return out;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
}

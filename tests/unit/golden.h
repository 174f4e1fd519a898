// Golden files of the unit tests: text compared with tests/golden/NAME, written there instead
// when CORVANE_UPDATE_GOLDEN=1 is in the environment (the flag the end-to-end tests know too).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

inline std::string goldenPath(const std::string& name) {
    return std::string(CORVANE_FIXTURES_DIR) + "/../golden/" + name;
}

// A missing file fails and names the variable that writes it; a different one shows both.
inline void expectGolden(const std::string& name, const std::string& text) {
    const std::string path = goldenPath(name);
    const char* update = std::getenv("CORVANE_UPDATE_GOLDEN");
    if (update != nullptr && *update != '\0' && std::string(update) != "0") {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFileBytes(path, text);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path))
        << "no golden file tests/golden/" << name << ": run with CORVANE_UPDATE_GOLDEN=1";
    EXPECT_EQ(readFileBytes(path), text)
        << "tests/golden/" << name << " (CORVANE_UPDATE_GOLDEN=1 writes it from this run)";
}

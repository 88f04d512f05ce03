// Every file of the fuzz corpus, the regression inputs of past findings
// included, run through the same entries the fuzzers call: no crash, no
// sanitizer report, no broken rule.
#include "FuzzEntries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

// Test names and messages show the target, not the bytes of its record.
void PrintTo(const FuzzTarget& target, std::ostream* os)
{
    *os << target.name;
}

namespace {

namespace fs = std::filesystem;

class CorpusReplay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(CorpusReplay, EveryInputKeepsTheRules)
{
    const fs::path folder = fs::path(TESTS_SOURCE_DIR) / "fuzz" / "corpus" / GetParam().name;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    int replayed = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        ASSERT_TRUE(in) << e.path();
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(GetParam().entry(bytes.data(), bytes.size()), "") << e.path().filename();
        ++replayed;
    }
    // The seeds at least: good and bad examples of the format.
    EXPECT_GE(replayed, 3) << folder;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, ::testing::ValuesIn(kFuzzTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

}  // namespace

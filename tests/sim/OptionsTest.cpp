#include "Options.h"

#include <gtest/gtest.h>

using namespace standsim;

TEST(Options, DefaultsAndEveryOption)
{
    Options o;
    std::string err;
    ASSERT_EQ(ParseOptions({"--link", "/tmp/x"}, o, &err), ParseResult::Run) << err;
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(o.model.scenario, Scenario::Idle);
    EXPECT_EQ(o.model.stand, 1);
    EXPECT_FALSE(o.standGiven);
    EXPECT_EQ(o.model.fwVersion, 2);
    EXPECT_EQ(o.model.cycleMs, 30000);
    EXPECT_EQ(o.model.seed, 1u);
    EXPECT_FALSE(o.pace);
    EXPECT_FALSE(o.faults.Any());
    EXPECT_TRUE(o.stateDir.empty());

    ASSERT_EQ(ParseOptions({"--link", "L", "--scenario", "production", "--stand", "7", "--fw-version", "1",
                            "--cycle-ms", "2000", "--pace", "--faults", "drop=1,after=18", "--seed", "99",
                            "--state-dir", "D"},
                           o, &err),
              ParseResult::Run)
        << err;
    EXPECT_EQ(o.model.scenario, Scenario::Production);
    EXPECT_EQ(o.model.stand, 7);
    EXPECT_TRUE(o.standGiven);
    EXPECT_EQ(o.model.fwVersion, 1);
    EXPECT_EQ(o.model.cycleMs, 2000);
    EXPECT_TRUE(o.pace);
    EXPECT_DOUBLE_EQ(o.faults.drop, 1);
    EXPECT_EQ(o.faults.after, 18u);
    EXPECT_EQ(o.model.seed, 99u);
    EXPECT_EQ(o.stateDir, "D");
    ASSERT_EQ(ParseOptions({"--link=L", "--scenario=silent"}, o, &err), ParseResult::Run);
    EXPECT_EQ(o.model.scenario, Scenario::Silent);

    EXPECT_EQ(ParseOptions({"--link", "L", "--help"}, o, &err), ParseResult::Help);
    EXPECT_EQ(ParseOptions({"--help"}, o, &err), ParseResult::Help);
}

TEST(Options, BadOnes)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--scenario", "idle"},
        {"--link"},
        {"--link", "L", "--scenario", "busy"},
        {"--link", "L", "--stand", "256"},
        {"--link", "L", "--stand", "x"},
        {"--link", "L", "--fw-version", "-1"},
        {"--link", "L", "--cycle-ms", "5"},
        {"--link", "L", "--seed", "1.5"},
        {"--link", "L", "--faults", "drop=2"},
        {"--link", "L", "--pace=1"},
        {"--link", "L", "--verbose"},
        {"--link", "L", "extra"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string err;
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(ParseOptions(args, o, &err), ParseResult::Error) << joined;
        EXPECT_FALSE(err.empty()) << joined;
    }
}

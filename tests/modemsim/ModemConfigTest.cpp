// Profiles and the option syntax of a port argument.
#include <gtest/gtest.h>

#include <string>

#include "tools/modem-sim/ModemConfig.h"

namespace {

using modemsim::SModemConfig;

TEST(ModemConfig, OptionsSetTheirFields)
{
    SModemConfig c;
    std::string error;
    ASSERT_TRUE(modemsim::ParseModemConfig(
        "korvane56,romfail,nodialtone,noloopback,noecho,dialdelay=50,guard=0,replydelay=7,drop=B9", c, error))
        << error;
    EXPECT_EQ(c.profile, "korvane56");
    EXPECT_EQ(c.identification, "Korvane Travel Card 56K V.90 (Revision 5.07.2)");
    EXPECT_FALSE(c.silent);
    EXPECT_TRUE(c.romFail);
    EXPECT_TRUE(c.noDialtone);
    EXPECT_TRUE(c.noLoopback);
    EXPECT_FALSE(c.echo);
    EXPECT_EQ(c.dialDelayMs, 50);
    EXPECT_EQ(c.guardMs, 0);
    EXPECT_EQ(c.replyDelayMs, 7);
    EXPECT_EQ(c.drop, "B9");

    SModemConfig d;
    ASSERT_TRUE(modemsim::ParseModemConfig("silent", d, error));
    EXPECT_TRUE(d.silent);
    EXPECT_TRUE(d.echo);
    EXPECT_EQ(d.dialDelayMs, 2000);
    EXPECT_EQ(d.guardMs, 1000);
    EXPECT_EQ(d.replyDelayMs, 0);
    EXPECT_EQ(d.drop, "");
}

TEST(ModemConfig, BadArgumentsAreRefusedWithAReason)
{
    const char* bad[] = {
        "COM3",                       // no '='
        "=korvane336",                // no port
        "3COM=korvane336",            // not a variable name
        "CO M3=korvane336",
        "COM3=",                      // no profile
        "COM3=korvane",               // unknown profile
        "COM3=Korvane336",            // names are exact
        "COM3=korvane336,bogus",      // unknown option
        "COM3=korvane336,,romfail",   // empty option
        "COM3=korvane336,",
        "COM3=korvane336,romfail=1",  // a flag takes no value
        "COM3=korvane336,dialdelay",  // a delay needs one
        "COM3=korvane336,dialdelay=",
        "COM3=korvane336,dialdelay=-1",
        "COM3=korvane336,guard=12x",
        "COM3=korvane336,guard=600001",
        "COM3=korvane336,replydelay=99999999999",
        "COM3=korvane336,drop",
    };
    for (const char* arg : bad) {
        std::string name = "unchanged";
        SModemConfig config;
        std::string error;
        EXPECT_FALSE(modemsim::ParsePortArgument(arg, name, config, error)) << arg;
        EXPECT_FALSE(error.empty()) << arg;
        EXPECT_EQ(error.find('\n'), std::string::npos) << arg;
        EXPECT_EQ(name, "unchanged") << arg;
    }
    std::string name;
    SModemConfig config;
    std::string error;
    EXPECT_TRUE(modemsim::ParsePortArgument("COM3=korvane336,drop=", name, config, error)) << error;
    EXPECT_EQ(name, "COM3");
}

// What the profiles promise the program: who is a Korvane modem, and the two
// replies made to trip a reader up.
TEST(ModemConfig, ProfilesHoldWhatTheirNamesPromise)
{
    ASSERT_GE(modemsim::ProfileList().size(), 9u);
    for (const auto& p : modemsim::ProfileList()) {
        SModemConfig c;
        std::string error;
        ASSERT_TRUE(modemsim::ParseModemConfig(p.name, c, error)) << p.name;
        const std::string name(p.name);
        const bool korvane = c.identification.find("Korvane") != std::string::npos;
        if (name == "other" || name == "silent") EXPECT_FALSE(korvane) << name;
        else EXPECT_EQ(c.identification.rfind("Korvane", 0), 0u) << name;
        EXPECT_EQ(c.silent, name == "silent") << name;
    }

    SModemConfig c;
    std::string error;
    ASSERT_TRUE(modemsim::ParseModemConfig("long", c, error));
    EXPECT_GT(c.identification.size(), 1025u + 100u);

    ASSERT_TRUE(modemsim::ParseModemConfig("nul", c, error));
    const size_t nul = c.identification.find('\0');
    ASSERT_NE(nul, std::string::npos);
    EXPECT_EQ(c.identification.find("(c)"), c.identification.find("(c)", nul));
    EXPECT_NE(c.identification.find("(c)"), std::string::npos);
}

}  // namespace

// The cutting rules of the model and firmware query, over whole replies.
#include <gtest/gtest.h>

#include "maindlg/ModemIdentity.h"

namespace {

struct Case {
    const char* name;
    const char* reply;
    CModemIdentity::SpeedClass speedClass;
    const char* model;
    bool markRule;
    const char* markRevision;
    bool revisionRule;
    const char* revision;
};

const Case kCases[] = {
    {"336WithMark", "ATI3\r\r\nKorvane Portable 33.6 Data+Fax Modem\r\nFirmware V3.10-0422  (c) 1998\r\n\r\nOK\r\n",
     CModemIdentity::Speed336, "Korvane Portable 33.6", true, "V3.10-0422", false, ""},
    {"56WithRevision", "ATI3\r\r\nKorvane Travel Card 56K V.90 (Revision 5.07.2)\r\n\r\nOK\r\n",
     CModemIdentity::Speed56, "Korvane Travel Card 56", false, "", true, "5.07.2"},
    {"288WithBoth", "ATI3\r\r\nKorvane Desk 28.8 Modem (Revision 1.9)\r\nB2.04-0311  (c) 1997\r\n\r\nOK\r\n",
     CModemIdentity::Speed288, "Korvane Desk 28.8", true, "B2.04-0311", true, "1.9"},
    {"56WithoutRevision", "ATI3\r\r\nKorvane Travel Card 56K V.90\r\n\r\nOK\r\n",
     CModemIdentity::Speed56, "Korvane Travel Card 56", false, "", false, ""},
    {"NoSpeedWithRevision", "Korvane Modem (Revision 2.0)", CModemIdentity::NoSpeedClass, "", false, "", true, "2.0"},
    {"NothingKnown", "ATI3\r\r\nKorvane Modem\r\n\r\nOK\r\n", CModemIdentity::NoSpeedClass, "", false, "", false, ""},
    // 28.8 wins over 33.6, and 33.6 over 56.
    {"288Before336", "Korvane 33.6/28.8 (c)", CModemIdentity::Speed288, "Korvane 33.6/28.8", true, "e 33.6/28.", false, ""},
    {"336Before56", "Korvane 56/33.6", CModemIdentity::Speed336, "Korvane 56/33.6", true, "", false, ""},
    // "56" inside a longer number.
    {"56InsideNumber", "Korvane 115600 Modem", CModemIdentity::Speed56, "Korvane 1156", false, "", false, ""},
    // Maker and speed class on different lines: the line break stays in the model.
    {"SplitLines", "ATI3\r\r\nKorvane Office\r\n33.6 Data Modem\r\n", CModemIdentity::Speed336, "Korvane Office\r\n33.6", true, "", false, ""},
    // Without the maker name the tail is the whole reply, echo included.
    {"NoMaker", "ATI3\r\r\nAcme 33.6 Modem", CModemIdentity::Speed336, "ATI3\r\r\nAcme 33.6", true, "", false, ""},
    // "(c)" close to the start: only characters that exist are taken.
    {"MarkNearStart", "Korvane33.6(c)", CModemIdentity::Speed336, "Korvane33.6", true, "Korvane33", false, ""},
    {"MarkInCapitals", "Korvane 33.6 Modem (C) 1998", CModemIdentity::Speed336, "Korvane 33.6", true, "", false, ""},
    // "Revision" at the end, followed by one character, or with no ")".
    {"RevisionAtEnd", "Korvane Revision", CModemIdentity::NoSpeedClass, "", false, "", true, ""},
    {"RevisionOneMore", "Korvane Revision ", CModemIdentity::NoSpeedClass, "", false, "", true, ""},
    {"RevisionNoParen", "Korvane (Revision 3.1", CModemIdentity::NoSpeedClass, "", false, "", true, ""},
    {"Empty", "", CModemIdentity::NoSpeedClass, "", false, "", false, ""},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Identity : public ::testing::TestWithParam<Case> {};

TEST_P(Identity, CutsModelAndRevision)
{
    const Case& c = GetParam();
    CModemIdentity id = IdentifyModem(c.reply, "Korvane");
    EXPECT_EQ(id.speedClass, c.speedClass);
    EXPECT_EQ(id.model.Str(), c.model);
    EXPECT_EQ(id.markRuleRan, c.markRule);
    EXPECT_EQ(id.markRevision.Str(), c.markRevision);
    EXPECT_EQ(id.revisionRuleRan, c.revisionRule);
    EXPECT_EQ(id.revision.Str(), c.revision);
    EXPECT_EQ(id.Recognised(), c.markRule || c.revisionRule);
}

INSTANTIATE_TEST_SUITE_P(Replies, Identity, ::testing::ValuesIn(kCases), [](const auto& param) { return std::string(param.param.name); });

}  // namespace

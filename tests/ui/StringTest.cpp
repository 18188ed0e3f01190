#include <gtest/gtest.h>

#include "platform/ui/String.h"

TEST(CString, CountsAreClampedToTheText)
{
    CString s("CONNECT");
    struct Case {
        CString got;
        const char* want;
    } cases[] = {
        {s.Left(-3), ""}, {s.Left(3), "CON"}, {s.Left(99), "CONNECT"},
        {s.Right(-1), ""}, {s.Right(4), "NECT"}, {s.Right(99), "CONNECT"},
        {s.Mid(5), "CT"}, {s.Mid(-2, 3), "CON"}, {s.Mid(6, 9), "T"}, {s.Mid(99), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got.Str(), c.want);
}

TEST(CString, FindAndTrimLeft)
{
    CString s("\r\n CONNECT 57600\r\n");
    EXPECT_EQ(s.Find("CONNECT"), 3);
    EXPECT_EQ(s.Find("connect"), -1);
    EXPECT_EQ(s.Find(')'), -1);
    EXPECT_EQ(s.Find("\n", 2), 17);
    EXPECT_EQ(s.Find("C", 99), -1);
    EXPECT_EQ(s.TrimLeft().Str(), "CONNECT 57600\r\n");
    EXPECT_EQ(CString(" \t").TrimLeft().Str(), "");
}

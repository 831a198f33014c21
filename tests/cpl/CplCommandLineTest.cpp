#include "CplCommandLine.h"

#include <gtest/gtest.h>

TEST(CplCommandLineTest, OptionsMatchWholeTokensInAnyCase)
{
    CplCommandLine line(L"quillocpl.exe -HIDE\t-NoTray   -asio");
    EXPECT_TRUE(line.IsHide());
    EXPECT_TRUE(line.IsNoTray());
    EXPECT_FALSE(line.IsExit());
    EXPECT_TRUE(CplCommandLine(L"x.exe -eXiT").IsExit());
}

TEST(CplCommandLineTest, AnOptionWithMoreLettersOrAPartOfOneIsNotRecognised)
{
    CplCommandLine line(L"quillocpl.exe -hidex -notra exit --exit -exit-");
    EXPECT_FALSE(line.IsHide());
    EXPECT_FALSE(line.IsNoTray());
    EXPECT_FALSE(line.IsExit());
}

TEST(CplCommandLineTest, EmptyAndMissingLinesHaveNoOptions)
{
    EXPECT_FALSE(CplCommandLine(L"").IsHide());
    EXPECT_FALSE(CplCommandLine(L"   ").IsExit());
    EXPECT_FALSE(CplCommandLine(nullptr).IsNoTray());
    // The last token counts even without white space after it.
    EXPECT_TRUE(CplCommandLine(L"-hide").IsHide());
}

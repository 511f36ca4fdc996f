// How the worker reads a URL before it touches WinInet.
#include <gtest/gtest.h>

#include "download/DownloadUrl.h"

namespace {

TEST(DownloadUrl, LocalPathDropsTheSchemeAndEverySlashAfterIt)
{
    EXPECT_EQ(LocalPathFromUrl("file:///C:/Applets/My World.obvm"), "C:/Applets/My World.obvm");
    EXPECT_EQ(LocalPathFromUrl("file://server/share/a.obvm"), "server/share/a.obvm");
    EXPECT_EQ(LocalPathFromUrl("file:C:/a.obvm"), "C:/a.obvm");
    EXPECT_EQ(LocalPathFromUrl("file:////"), "");
    EXPECT_EQ(LocalPathFromUrl("file:"), "");
    // The forms WinInet's decoding gives for the URLs above.
    EXPECT_EQ(LocalPathFromUrl("file://C:\\Applets\\My World.obvm"), "C:/Applets/My World.obvm");
    EXPECT_EQ(LocalPathFromUrl("file://\\\\server\\share\\a.obvm"), "server/share/a.obvm");
    EXPECT_EQ(LocalPathFromUrl("file://\\"), "");
    // Code page 932: the second byte of U+8868 is a backslash, and stays one.
    LeadBytes lead;
    lead.AddRange(0x81, 0x9F);
    lead.AddRange(0xE0, 0xFC);
    EXPECT_EQ(LocalPathFromUrl("file://C:\\Applets\\\x95\x5C.obvm", lead), "C:/Applets/\x95\x5C.obvm");
}

TEST(DownloadUrl, SchemesCompareWithoutCase)
{
    EXPECT_TRUE(IsLocalUrl("FiLe:///x"));
    EXPECT_FALSE(IsLocalUrl("fil:///x"));
    EXPECT_FALSE(IsLocalUrl("http://host/file:x"));
    EXPECT_TRUE(NeedsStatusCheck("HTTP://host/a"));
    EXPECT_FALSE(NeedsStatusCheck("https://host/a"));
    EXPECT_FALSE(NeedsStatusCheck("ftp://host/a"));
}

TEST(DownloadUrl, OnlyStatus200IsAccepted)
{
    EXPECT_TRUE(IsAcceptedStatus("200"));
    EXPECT_FALSE(IsAcceptedStatus("201"));
    EXPECT_FALSE(IsAcceptedStatus("206"));
    EXPECT_FALSE(IsAcceptedStatus("200 "));
    EXPECT_FALSE(IsAcceptedStatus(""));
}

}  // namespace

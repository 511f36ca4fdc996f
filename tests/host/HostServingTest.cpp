// What the host serves when a plug-in asks (driven by the probe plug-in): page-relative
// file: and http: URLs as file-mode streams with notifications, failures, navigation, a
// browser without notifications, and streams cut off by closing the page.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "LoopbackHttpServer.h"
#include "TestFiles.h"

namespace {

constexpr DWORD kRunMs = 30000;

std::vector<std::string> RunProbe(const std::string& name, std::vector<std::string> arguments, DWORD expectedExit = 0)
{
    arguments.insert(arguments.end(), {"--plugin", PROBE_PLUGIN, "--seconds", "20"});
    HostProcess host(name, arguments);
    EXPECT_TRUE(host.Started());
    EXPECT_EQ(host.Finish(kRunMs), expectedExit);
    return host.Lines();
}

std::string OnlyLine(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found = LinesStarting(lines, prefix);
    EXPECT_EQ(found.size(), 1u) << prefix;
    return found.empty() ? "" : found[0];
}

std::string StreamFor(const std::vector<std::string>& lines, const std::string& url)
{
    for (const std::string& line : LinesStarting(lines, "> NPP_NewStream ")) {
        if (Field(line, "url") == url) return Field(line, "stream");
    }
    return "";
}

// The probe's report of the file it was handed, compared with what was served.
void ExpectDeliveredFile(const std::vector<std::string>& lines, const std::string& url, const std::string& body)
{
    const std::string report = "asfile " + url + " bytes=" + std::to_string(body.size()) + " text=" +
                               body.substr(0, 32);
    bool found = false;
    for (const std::string& line : LinesStarting(lines, "< NPN_Status ")) found = found || Field(line, "text") == report;
    EXPECT_TRUE(found) << report;
}

TEST(Serving, FileUrlsResolveAgainstThePageAndArriveAsFilesThenNotify)
{
    std::vector<std::string> lines =
        RunProbe("serve-file", {"--page", TestPagePath("sub/probe.html"), "--until-idle", "--settle", "300"});
    const std::string notes = PageUrl("data/notes.txt");
    const std::string other = PageUrl("data/other.txt");
    EXPECT_GE(IndexOf(lines, "< NPN_Status inst=1 text=\"browser version=0x000B geturlnotify=present\""), 0);

    // A notify request: stream in file mode, file, end, then the notification with its data.
    std::string request = OnlyLine(lines, "< NPN_GetURLNotify inst=1 url=\"../data/notes.txt\"");
    EXPECT_NE(request.find("target=(null) notifyData=0x00000103 -> 0"), std::string::npos) << request;
    const std::string id = StreamFor(lines, notes);
    ASSERT_NE(id, "");
    const std::string stream = "inst=1 stream=" + id;
    std::string announced = OnlyLine(lines, "> NPP_NewStream " + stream + " ");
    EXPECT_EQ(Field(announced, "notifyData"), "0x00000103");
    EXPECT_EQ(Field(announced, "type"), "text/plain");
    EXPECT_EQ(Field(announced, "stype"), "3");
    int asFile = IndexOf(lines, "> NPP_StreamAsFile " + stream + " ");
    int destroyed = IndexOf(lines, "> NPP_DestroyStream " + stream + " reason=0 -> 0");
    int notified = IndexOf(lines, "> NPP_URLNotify inst=1 url=\"" + notes + "\" reason=0 notifyData=0x00000103");
    EXPECT_GE(asFile, 0);
    EXPECT_GT(destroyed, asFile);
    EXPECT_GT(notified, destroyed);
    ExpectDeliveredFile(lines, notes, ReadFile(TestPagePath("data/notes.txt")));

    // A missing file through GetURLNotify: only the notification, with a network error.
    EXPECT_EQ(StreamFor(lines, PageUrl("sub/missing.txt")), "");
    OnlyLine(lines, "> NPP_URLNotify inst=1 url=\"" + PageUrl("sub/missing.txt") + "\" reason=1 notifyData=0x00000104");

    // Plain GetURL (backslashes read as slashes): a stream without notification.
    const std::string otherId = StreamFor(lines, other);
    ASSERT_NE(otherId, "");
    EXPECT_GE(IndexOf(lines, "> NPP_DestroyStream inst=1 stream=" + otherId + " reason=0"), 0);
    ExpectDeliveredFile(lines, other, ReadFile(TestPagePath("data/other.txt")));
    EXPECT_EQ(IndexOf(lines, "> NPP_URLNotify inst=1 url=\"" + other + "\""), -1);

    // A missing file through GetURL: a stream that fails at once.
    const std::string goneId = StreamFor(lines, PageUrl("sub/gone.txt"));
    ASSERT_NE(goneId, "");
    OnlyLine(lines, "> NPP_DestroyStream inst=1 stream=" + goneId + " reason=1 ");
    EXPECT_EQ(IndexOf(lines, "> NPP_StreamAsFile inst=1 stream=" + goneId + " "), -1);

    // A target makes a navigation, not a stream.
    std::string navigation = OnlyLine(lines, "* navigate inst=1 ");
    EXPECT_EQ(Field(navigation, "url"), PageUrl("index.html"));
    EXPECT_EQ(Field(navigation, "target"), "_blank");
    EXPECT_EQ(StreamFor(lines, PageUrl("index.html")), "");
    EXPECT_EQ(LinesStarting(lines, "> NPP_NewStream ").size(), 3u);
}

TEST(Serving, HttpPageAndItsFilesComeFromTheServer)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    // A page from the network never reads the user's disk.
    const std::string local = PageUrl("sub/probe.html");
    const std::string page = "<embed type=\"application/x-orbhost-probe\" src=\"movie.probe?v=1#start\" "
                             "fetch=\"./../data/notes.txt\" fetch=\"nothere.txt\" fetch=\"" + local + "\">";
    server.Serve("/site/sub/page.html", {200, page, "text/html"});
    server.Serve("/site/sub/movie.probe?v=1", {200, "the applet bytes", "application/x-orbhost-probe"});
    server.Serve("/site/data/notes.txt", {200, "served notes over http", "application/x-notes"});

    std::vector<std::string> lines = RunProbe(
        "serve-http", {"--page", server.Url("/site/sub/page.html"), "--until-idle", "--settle", "300"});
    // The page first; its files are fetched side by side, so in any order.
    std::vector<std::string> requests = server.Paths();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "/site/sub/page.html");
    std::sort(requests.begin() + 1, requests.end());
    EXPECT_EQ(requests, (std::vector<std::string>{"/site/sub/page.html", "/site/data/notes.txt",
                                                  "/site/sub/movie.probe?v=1", "/site/sub/nothere.txt"}));

    const std::string notes = server.Url("/site/data/notes.txt");
    const std::string id = StreamFor(lines, notes);
    ASSERT_NE(id, "");
    std::string announced = OnlyLine(lines, "> NPP_NewStream inst=1 stream=" + id + " ");
    EXPECT_EQ(Field(announced, "type"), "application/x-notes");
    EXPECT_EQ(Field(announced, "end"), std::to_string(std::string("served notes over http").size()));
    ExpectDeliveredFile(lines, notes, "served notes over http");
    OnlyLine(lines, "> NPP_URLNotify inst=1 url=\"" + notes + "\" reason=0 ");
    OnlyLine(lines, "> NPP_URLNotify inst=1 url=\"" + server.Url("/site/sub/nothere.txt") + "\" reason=1 ");
    const std::string refused = OnlyLine(lines, "< NPN_GetURLNotify inst=1 url=\"" + local + "\"");
    EXPECT_EQ(refused.substr(refused.rfind(" -> ") + 4), "10") << refused;
    EXPECT_EQ(StreamFor(lines, local), "");

    const std::string movie = server.Url("/site/sub/movie.probe?v=1#start");
    ASSERT_NE(StreamFor(lines, movie), "");
    ExpectDeliveredFile(lines, movie, "the applet bytes");
}

TEST(Serving, RedirectsGiveThePageAndEachStreamTheLocationTheyCameFrom)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    HttpResponse toFolder;
    toFolder.status = 301;
    toFolder.location = server.Url("/site/sub/");
    server.Serve("/site/sub", toFolder);
    server.Serve("/site/sub/", {200, "<embed type=\"application/x-orbhost-probe\" fetch=\"notes.txt\">", "text/html"});
    HttpResponse moved;
    moved.status = 302;
    moved.location = "/site/new/notes.txt";
    server.Serve("/site/sub/notes.txt", moved);
    server.Serve("/site/new/notes.txt", {200, "notes that moved", "text/plain"});

    std::vector<std::string> lines =
        RunProbe("serve-redirect", {"--page", server.Url("/site/sub"), "--until-idle", "--settle", "300"});
    // The page's location is its final URL, and relative names resolve against it.
    EXPECT_EQ(Field(OnlyLine(lines, "* page url="), "url"), server.Url("/site/sub/"));
    const std::string asked = server.Url("/site/sub/notes.txt");
    const std::string final = server.Url("/site/new/notes.txt");
    // The stream names where its body came from; the notification, what was asked for.
    const std::string id = StreamFor(lines, final);
    ASSERT_NE(id, "") << "no stream under " << final;
    ExpectDeliveredFile(lines, final, "notes that moved");
    OnlyLine(lines, "> NPP_URLNotify inst=1 url=\"" + asked + "\" reason=0 ");
}

TEST(Serving, ABodyPastTheStreamLimitEndsItsStreamWithANetworkError)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    const std::string page = "<embed type=\"application/x-orbhost-probe\" fetch=\"big.txt\" get=\"endless.txt\" "
                             "fetch=\"small.txt\">";
    server.Serve("/site/page.html", {200, page, "text/html"});
    // One says its length before the body, one does not and is counted as it comes.
    server.Serve("/site/big.txt", {200, std::string(1001, 'b'), "text/plain"});
    HttpResponse endless{200, std::string(300000, 'e'), "text/plain"};
    endless.sendLength = false;
    server.Serve("/site/endless.txt", endless);
    server.Serve("/site/small.txt", {200, std::string(1000, 's'), "text/plain"});

    std::vector<std::string> lines = RunProbe(
        "serve-limit", {"--page", server.Url("/site/page.html"), "--stream-limit", "1000", "--until-idle"});
    const std::string big = server.Url("/site/big.txt");
    const std::string endlessUrl = server.Url("/site/endless.txt");
    const std::string fetched = OnlyLine(lines, "* fetch stream=" + StreamFor(lines, endlessUrl) + " ");
    EXPECT_EQ(Field(fetched, "error"), "endless.txt is larger than the limit of 1000 bytes") << fetched;
    // A notify request: only the notification, with a network error.
    EXPECT_EQ(StreamFor(lines, big), "");
    OnlyLine(lines, "> NPP_URLNotify inst=1 url=\"" + big + "\" reason=1 ");
    // Without notifications: announced with no data, destroyed with a network error.
    const std::string id = StreamFor(lines, endlessUrl);
    ASSERT_NE(id, "");
    EXPECT_EQ(Field(OnlyLine(lines, "> NPP_NewStream inst=1 stream=" + id + " "), "end"), "0");
    OnlyLine(lines, "> NPP_DestroyStream inst=1 stream=" + id + " reason=1 ");
    // A body at the limit still arrives whole.
    ExpectDeliveredFile(lines, server.Url("/site/small.txt"), std::string(1000, 's'));
}

TEST(Serving, APageFromTheNetworkGetsNoStreamOfALocalFileOrShareWhateverNamesIt)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    std::string drive = TestPagePath("data/notes.txt");
    for (char& c : drive) c = c == '/' ? '\\' : c;
    // The share's server name does not resolve: a stream of it could only fail, and must not
    // even be tried.
    const std::vector<std::string> sources = {PageUrl("data/notes.txt"), drive, "\\\\orb-share.invalid\\s\\x.probe"};
    std::string page;
    for (const std::string& src : sources) page += "<embed type=\"application/x-orbhost-probe\" src=\"" + src + "\">";
    page += "<embed type=\"application/x-orbhost-probe\" src=\"movie.probe\">";
    server.Serve("/site/page.html", {200, page, "text/html"});
    server.Serve("/site/movie.probe", {200, "the applet bytes", "application/x-orbhost-probe"});

    const std::vector<std::string> lines =
        RunProbe("serve-refused", {"--page", server.Url("/site/page.html"), "--until-idle", "--settle", "300"});
    EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/site/page.html", "/site/movie.probe"}));
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string instance = "inst=" + std::to_string(i + 1);
        OnlyLine(lines, "> NPP_New " + instance + " ");
        const std::string refused = OnlyLine(lines, "* refused " + instance + " ");
        EXPECT_EQ(Field(refused, "url"), sources[i]) << refused;
        EXPECT_TRUE(LinesStarting(lines, "> NPP_NewStream " + instance + " ").empty()) << sources[i];
    }
    ExpectDeliveredFile(lines, server.Url("/site/movie.probe"), "the applet bytes");
}

TEST(Serving, OldBrowserOffersNoNotificationsAndStillStreamsFromWhereThePageClaimsToBe)
{
    // The page is read from disk but claims an http: URL: its relative URLs go to the server.
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    server.Serve("/site/data/notes.txt", {200, "notes from the claimed site", "text/plain"});
    std::vector<std::string> lines =
        RunProbe("serve-old", {"--page", TestPagePath("sub/probe.html"), "--page-url",
                               server.Url("/site/sub/probe.html"), "--version", "0x0008", "--until-idle"});
    EXPECT_GE(IndexOf(lines, "< NPN_Status inst=1 text=\"browser version=0x0008 geturlnotify=null\""), 0);
    EXPECT_EQ(LinesStarting(lines, "< NPN_GetURLNotify").size(), 0u);
    EXPECT_EQ(LinesStarting(lines, "> NPP_URLNotify").size(), 0u);
    OnlyLine(lines, "< NPN_GetURL inst=1 url=\"../data/notes.txt\" target=(null) -> 0");
    const std::string notes = server.Url("/site/data/notes.txt");
    ASSERT_NE(StreamFor(lines, notes), "");
    ExpectDeliveredFile(lines, notes, "notes from the claimed site");
    // Without notifications a missing file still ends its stream, with a network error.
    const std::string missing = StreamFor(lines, server.Url("/site/sub/missing.txt"));
    ASSERT_NE(missing, "");
    OnlyLine(lines, "> NPP_DestroyStream inst=1 stream=" + missing + " reason=1 ");
}

TEST(Serving, ClosingThePageBreaksOpenAndWaitingRequests)
{
    // The probe never takes data, so the first stream stays open; close once it is announced.
    // Files are fetched side by side: the second is held back so that it is still waiting then.
    std::vector<std::string> lines = RunProbe(
        "serve-close", {"--page", TestPagePath("stall.html"), "--withhold", "other.txt", "--until", " stype=3 "});
    const std::string notes = PageUrl("data/notes.txt");
    const std::string other = PageUrl("data/other.txt");
    const std::string id = StreamFor(lines, notes);
    ASSERT_NE(id, "");
    EXPECT_EQ(StreamFor(lines, other), "");

    int close = IndexOf(lines, "* close reason=until");
    int broken = IndexOf(lines, "> NPP_DestroyStream inst=1 stream=" + id + " reason=2 ");
    int openNotified = IndexOf(lines, "> NPP_URLNotify inst=1 url=\"" + notes + "\" reason=2 ");
    int waitingNotified = IndexOf(lines, "> NPP_URLNotify inst=1 url=\"" + other + "\" reason=2 ");
    int nullWindow = IndexOf(lines, "> NPP_SetWindow inst=1 window=(null)");
    ASSERT_GE(close, 0);
    EXPECT_GT(broken, close);
    EXPECT_GT(openNotified, broken);
    EXPECT_GT(waitingNotified, close);
    EXPECT_GT(nullWindow, openNotified);
    EXPECT_GT(nullWindow, waitingNotified);
    EXPECT_GT(IndexOf(lines, "> NPP_Destroy inst=1 "), nullWindow);
}

}  // namespace

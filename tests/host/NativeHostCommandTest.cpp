// What the native host takes from the page and decides by itself: each message checked member
// by member (a bad one refused with a reason), base64 both ways, who may start the host, and
// when a picture goes out.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Base64.h"
#include "FramePacer.h"
#include "HostCommand.h"
#include "NativeHostLaunch.h"

namespace {

struct Refused {
    const char* json;
    const char* reason;  // a part of the error
};

TEST(HostCommand, RefusesEachBadMessageWithItsReason)
{
    const Refused cases[] = {
        {"", "not JSON"},
        {"[1,2]", "no string member type"},
        {R"({"type":7})", "no string member type"},
        {R"({"type":"launch"})", "unknown type launch"},
        {R"({"type":"hello","visible":true})", "member pageUrl"},
        {R"({"type":"hello","pageUrl":"file:///C:/page.html","visible":true})", "http or https"},
        {R"({"type":"hello","pageUrl":"http://","visible":true})", "http or https"},
        {R"({"type":"hello","pageUrl":"https://a.example/","visible":true,"format":"gif"})", "member format"},
        {R"({"type":"hello","pageUrl":"https://a.example/","visible":"yes"})", "member visible"},
        {R"({"type":"add","element":0,"tag":"embed","attributes":[],"width":10,"height":10})", "member element"},
        {R"({"type":"add","element":2147483648,"tag":"embed","attributes":[],"width":10,"height":10})",
         "member element"},
        {R"({"type":"add","element":1.5,"tag":"embed","attributes":[],"width":10,"height":10})", "member element"},
        {R"({"type":"add","element":1,"tag":"applet","attributes":[],"width":10,"height":10})", "member tag"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[["src"]],"width":10,"height":10})",
         "member attributes"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[["","x"]],"width":10,"height":10})",
         "member attributes"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[["a",1]],"width":10,"height":10})",
         "member attributes"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":{},"width":10,"height":10})", "member attributes"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[],"width":0,"height":10})", "member width"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[],"width":10,"height":8193})", "member height"},
        {R"({"type":"add","element":1,"tag":"embed","attributes":[],"params":[["a","b"]],"width":10,"height":10})",
         "member params"},
        {R"({"type":"remove"})", "member element"},
        {R"({"type":"resize","element":1,"width":-4,"height":10})", "member width"},
        {R"({"type":"mouse","element":1,"kind":"click","x":1,"y":1})", "member kind"},
        {R"({"type":"mouse","element":1,"kind":"down","x":1,"y":1,"button":3})", "member button"},
        {R"({"type":"mouse","element":1,"kind":"move","x":40000,"y":1})", "member x"},
        {R"({"type":"mouse","element":1,"kind":"move","x":1,"y":1,"modifiers":16})", "member modifiers"},
        {R"({"type":"key","element":1,"kind":"down","keyCode":0})", "member keyCode"},
        {R"({"type":"key","element":1,"kind":"down","keyCode":65,"text":"aaaaaaaaaaaaaaaaa"})", "member text"},
        {R"({"type":"focus","element":1})", "member focused"},
        {R"({"type":"visible"})", "member visible"},
        {R"({"type":"frameAck","element":1,"frame":0})", "member frame"},
        {R"({"type":"fileData","request":1,"data":"QUJD!"})", "member data"},
        {R"({"type":"fileData","request":1,"data":"QUJ"})", "base64"},
        {R"({"type":"fileData","request":1,"data":"QUI="})", "base64"},
        {R"({"type":"fileData","request":0,"data":""})", "member request"},
        {R"({"type":"fileEnd","request":1,"ok":true})", "member url"},
        {R"({"type":"fileEnd","request":1,"ok":true,"url":"file:///C:/secret"})", "http or https"},
        {R"({"type":"fileEnd","request":1,"ok":false,"url":"","error":5})", "member error"},
    };
    for (const Refused& refused : cases) {
        HostCommand command;
        command.element = 99;
        std::string error;
        EXPECT_FALSE(ReadHostCommand(refused.json, command, error)) << refused.json;
        EXPECT_NE(error.find(refused.reason), std::string::npos) << refused.json << " -> " << error;
        EXPECT_EQ(command.element, 99) << "a refused message changed the command: " << refused.json;
    }
}

TEST(HostCommand, ReadsEachGoodMessage)
{
    HostCommand c;
    std::string error;
    ASSERT_TRUE(ReadHostCommand(R"({"type":"hello","pageUrl":"HTTPS://a.example/p","visible":false,"format":"png"})",
                                c, error))
        << error;
    EXPECT_EQ(c.kind, HostCommand::Kind::kHello);
    EXPECT_EQ(c.pageUrl, "HTTPS://a.example/p");
    EXPECT_TRUE(c.png);
    EXPECT_FALSE(c.flag);

    // An <object>'s params come after its own attributes, in order.
    ASSERT_TRUE(ReadHostCommand(R"({"type":"add","element":2147483647,"tag":"object","attributes":[["type","a/b"]],)"
                                R"("params":[["src","x.obvm"],["Res1","y"]],"width":8192,"height":1})",
                                c, error))
        << error;
    EXPECT_EQ(c.kind, HostCommand::Kind::kAdd);
    EXPECT_EQ(c.element, 2147483647);
    EXPECT_TRUE(c.object);
    ASSERT_EQ(c.attributes.size(), 3u);
    EXPECT_EQ(c.attributes[0].first, "type");
    EXPECT_EQ(c.attributes[2].first, "Res1");
    EXPECT_EQ(c.width, 8192);

    ASSERT_TRUE(ReadHostCommand(R"({"type":"mouse","element":3,"kind":"wheel","x":-5,"y":7,"deltaY":-240,)"
                                R"("modifiers":3})",
                                c, error));
    EXPECT_EQ(c.mouse, HostCommand::Mouse::kWheel);
    EXPECT_EQ(c.x, -5);
    EXPECT_EQ(c.deltaY, -240);
    EXPECT_EQ(c.modifiers, 3);

    // Text typed comes with a key going down only.
    ASSERT_TRUE(ReadHostCommand(R"({"type":"key","element":3,"kind":"up","keyCode":65,"text":"a"})", c, error));
    EXPECT_FALSE(c.flag);
    EXPECT_EQ(c.text, "");

    ASSERT_TRUE(ReadHostCommand(R"({"type":"fileData","request":4,"data":"AAEC/w=="})", c, error));
    EXPECT_EQ(c.request, 4);
    EXPECT_EQ(c.data, std::string("\x00\x01\x02\xff", 4));

    ASSERT_TRUE(ReadHostCommand(R"({"type":"fileEnd","request":4,"ok":false,"url":"","error":"404"})", c, error));
    EXPECT_FALSE(c.flag);
    EXPECT_EQ(c.text, "404");

    ASSERT_TRUE(ReadHostCommand(R"({"type":"frameAck","element":1,"frame":9007199254740992})", c, error));
    EXPECT_EQ(c.frame, int64_t{1} << 53);
}

TEST(HostCommand, RefusesAFilePieceOverItsLimit)
{
    const std::string piece(HostCommand::kLargestPieceBytes + 3, 'x');
    HostCommand c;
    std::string error;
    EXPECT_FALSE(ReadHostCommand(R"({"type":"fileData","request":1,"data":")" + EncodeBase64(piece) + "\"}", c, error));
    EXPECT_TRUE(ReadHostCommand(R"({"type":"fileData","request":1,"data":")" +
                                    EncodeBase64(piece.substr(0, HostCommand::kLargestPieceBytes)) + "\"}",
                                c, error))
        << error;
}

TEST(Base64, RoundTripsEveryLengthAndRefusesLooseEnds)
{
    std::string bytes;
    for (int length = 0; length < 40; ++length) {
        std::string decoded;
        ASSERT_TRUE(DecodeBase64(EncodeBase64(bytes), decoded)) << length;
        EXPECT_EQ(decoded, bytes);
        bytes += static_cast<char>(length * 37 + 200);
    }
    EXPECT_EQ(EncodeBase64("Man"), "TWFu");
    EXPECT_EQ(EncodeBase64("Ma"), "TWE=");
    EXPECT_EQ(EncodeBase64("M"), "TQ==");
    std::string out;
    for (const char* bad : {"TWE", "TW=u", "TQ=A", "TR==", "TWF=", "====", "TWFu\n", "T Fu"}) {
        EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
    }
}

TEST(NativeHostLaunch, KnowsEachBrowsersWayAndOnlyOurExtension)
{
    struct Case {
        std::vector<std::string> arguments;
        bool host;
        bool allowed;
    };
    const std::string origin = kOurExtensionOrigin;
    const Case cases[] = {
        {{"--native-host", origin}, true, true},
        {{origin, "--parent-window=1234"}, true, true},
        {{"C:\\Program Files\\Orbolanth\\org.orbolanth.player.json", kOurExtensionId}, true, true},
        {{"--native-host", "C:\\host.json", kOurExtensionId}, true, true},
        {{"chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"}, true, false},
        {{origin.substr(0, origin.size() - 1)}, true, false},
        {{"manifest.JSON", "someone-else@example.org"}, true, false},
        {{"--native-host"}, true, false},
        {{"--native-host", "--size", "10x10"}, true, false},
        {{"demo.html"}, false, false},
        {{"list.json", "--size", "10x10"}, false, false},
        {{}, false, false},
    };
    for (const Case& c : cases) {
        const NativeHostLaunch launch = ReadNativeHostLaunch(c.arguments);
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments[0];
        EXPECT_EQ(launch.host, c.host) << shown;
        EXPECT_EQ(launch.allowed, c.allowed) << shown;
    }
}

TEST(FramePacer, SendsOnlyChangesAtMostSixtyASecondAndThreeAhead)
{
    FramePacer pacer;
    const std::vector<uint8_t> red(64, 1), blue(64, 2);
    uint32_t now = 0xFFFFFFF0u;  // the clock wraps on the way
    ASSERT_TRUE(pacer.Due(now));
    ASSERT_TRUE(pacer.Changed(red.data(), red.size(), 4, 4));
    EXPECT_EQ(pacer.Next(), 1);
    pacer.Sent(now);
    EXPECT_FALSE(pacer.Due(now + 16));  // sooner than a sixtieth of a second
    EXPECT_TRUE(pacer.Due(now + 17));
    EXPECT_FALSE(pacer.Changed(red.data(), red.size(), 4, 4));
    EXPECT_TRUE(pacer.Changed(red.data(), red.size(), 8, 2));  // the same bytes at another size
    pacer.Sent(now += 17);
    ASSERT_TRUE(pacer.Changed(blue.data(), blue.size(), 8, 2));
    pacer.Sent(now += 17);
    EXPECT_EQ(pacer.Unacknowledged(), 3);
    EXPECT_FALSE(pacer.Due(now + 1000));  // three on their way: the page must draw first

    EXPECT_FALSE(pacer.Acknowledge(4));  // never sent
    EXPECT_TRUE(pacer.Acknowledge(2));
    EXPECT_EQ(pacer.Unacknowledged(), 1);
    EXPECT_TRUE(pacer.Acknowledge(1));  // late, and taken without a word
    EXPECT_EQ(pacer.Unacknowledged(), 1);
    EXPECT_TRUE(pacer.Due(now + 17));

    EXPECT_FALSE(pacer.Changed(blue.data(), blue.size(), 8, 2));
    pacer.Forget();
    EXPECT_TRUE(pacer.Changed(blue.data(), blue.size(), 8, 2));
    EXPECT_EQ(pacer.Next(), 4);
}

}  // namespace

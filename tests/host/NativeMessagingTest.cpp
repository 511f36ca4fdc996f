// The wire of the native-messaging host: frames cut anywhere by the pipe, lengths the host
// refuses, and the bounded JSON inside, read and written back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "JsonParser.h"
#include "JsonWriter.h"
#include "NativeMessageReader.h"

namespace {

std::string Header(uint32_t length)
{
    return {static_cast<char>(length), static_cast<char>(length >> 8), static_cast<char>(length >> 16),
            static_cast<char>(length >> 24)};
}

// Feeds the pieces in order; the messages given out, and whether the stream ended cleanly.
std::vector<std::string> ReadPieces(NativeMessageReader& reader, const std::vector<std::string_view>& pieces,
                                    bool& clean)
{
    std::vector<std::string> messages;
    std::string message;
    for (std::string_view piece : pieces) {
        NativeMessageReader::Status status;
        while ((status = reader.Read(piece, message)) == NativeMessageReader::Status::kMessage) {
            messages.push_back(message);
        }
        if (status == NativeMessageReader::Status::kNeedMore) {
            EXPECT_TRUE(piece.empty());
        }
    }
    clean = reader.Finish();
    return messages;
}

TEST(NativeMessageReader, GivesOutWholeMessagesHoweverThePipeCutsThem)
{
    // 300 bytes take the header's second byte: a length read in the wrong order is noticed.
    const std::vector<std::string> sent = {"{}", "\"" + std::string(298, 'x') + "\"", "[1]"};
    std::string stream;
    for (const std::string& message : sent) stream += Header(static_cast<uint32_t>(message.size())) + message;
    const std::string_view all(stream);
    for (size_t first = 0; first <= all.size(); ++first) {
        for (size_t second = first; second <= all.size(); ++second) {
            NativeMessageReader reader;
            bool clean = false;
            const auto got = ReadPieces(
                reader, {all.substr(0, first), all.substr(first, second - first), all.substr(second)}, clean);
            ASSERT_EQ(got, sent) << "cut at " << first << " and " << second;
            ASSERT_TRUE(clean);
        }
    }
    for (size_t size = 1; size <= all.size(); ++size) {
        std::vector<std::string_view> pieces;
        for (size_t at = 0; at < all.size(); at += size) pieces.push_back(all.substr(at, size));
        NativeMessageReader reader;
        bool clean = false;
        EXPECT_EQ(ReadPieces(reader, pieces, clean), sent) << "pieces of " << size;
    }
}

TEST(NativeMessageReader, RefusesLengthsOfZeroOrPastItsLimitAndStaysBroken)
{
    struct Case {
        uint32_t limit;
        uint32_t length;
        NativeMessageReader::Error error;
        const char* text;
    };
    const Case cases[] = {
        {16, 16, NativeMessageReader::Error::kNone, ""},
        {16, 17, NativeMessageReader::Error::kTooLong, "a message declared 17 bytes, over the limit of 16"},
        {NativeMessageReader::kDefaultMaxMessageBytes, 0xFFFFFFFF, NativeMessageReader::Error::kTooLong,
         "a message declared 4294967295 bytes, over the limit of 8388608"},
        {16, 0, NativeMessageReader::Error::kEmptyMessage, "a message declared 0 bytes"},
    };
    for (const Case& c : cases) {
        NativeMessageReader reader(c.limit);
        // Only the header: a refusal must not wait for (or keep) the body.
        const std::string header = Header(c.length) + "[1]";
        std::string_view input(header);
        std::string message;
        const auto status = reader.Read(input, message);
        EXPECT_EQ(reader.error(), c.error) << c.length;
        EXPECT_EQ(reader.ErrorText(), c.text);
        if (c.error == NativeMessageReader::Error::kNone) {
            EXPECT_EQ(status, NativeMessageReader::Status::kNeedMore);
            continue;
        }
        EXPECT_EQ(status, NativeMessageReader::Status::kFailed);
        EXPECT_EQ(input, "[1]");
        EXPECT_EQ(reader.Read(input, message), NativeMessageReader::Status::kFailed);
        EXPECT_EQ(input, "[1]");
        EXPECT_FALSE(reader.Finish());
    }
}

TEST(NativeMessageReader, ReportsAStreamThatEndsInsideAMessage)
{
    struct Case {
        std::string stream;
        const char* text;  // empty: ends cleanly
    };
    const Case cases[] = {
        {"", ""},
        {Header(2) + "{}", ""},
        {Header(2) + "{}" + Header(6).substr(0, 2), "the stream ended after 2 of a header's 4 bytes"},
        {Header(6) + "[1,2", "the stream ended after 4 of a message's 6 bytes"},
        {Header(6), "the stream ended after 0 of a message's 6 bytes"},
    };
    for (const Case& c : cases) {
        NativeMessageReader reader;
        bool clean = false;
        ReadPieces(reader, {c.stream}, clean);
        EXPECT_EQ(clean, *c.text == '\0') << c.text;
        EXPECT_EQ(reader.ErrorText(), c.text);
    }
}

TEST(FrameHostMessage, FramesUpToOneMebibyteWithALittleEndianLength)
{
    std::string out = "kept";
    EXPECT_FALSE(FrameHostMessage("", out));
    EXPECT_FALSE(FrameHostMessage(std::string(kMaxHostMessageBytes + 1, ' '), out));
    EXPECT_EQ(out, "kept");

    const std::string largest(kMaxHostMessageBytes, ' ');
    out.clear();
    ASSERT_TRUE(FrameHostMessage(largest, out));
    EXPECT_EQ(out.substr(0, 4), std::string("\x00\x00\x10\x00", 4));
    ASSERT_TRUE(FrameHostMessage("{\"a\":1}", out));
    NativeMessageReader reader;
    bool clean = false;
    EXPECT_EQ(ReadPieces(reader, {out}, clean), (std::vector<std::string>{largest, "{\"a\":1}"}));
    EXPECT_TRUE(clean);
}

// Parses with the limits given; the compact text written back, or the error's text.
std::string ParseAndWrite(std::string_view text, const JsonLimits& limits = JsonLimits())
{
    JsonValue value;
    JsonError error;
    if (!JsonParser(limits).Parse(text, value, error)) return "error: " + error.Text();
    std::string json;
    if (!WriteJson(value, json)) return "unwritable";
    // What was written reads back as the same value.
    JsonValue again;
    EXPECT_TRUE(JsonParser(limits).Parse(json, again, error)) << json;
    EXPECT_EQ(again, value) << json;
    return json;
}

TEST(Json, ReadsValidTextAndWritesItBackCompact)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {" { \"b\" : [ 1 , 2.5 , -0 , true , false , null ] ,\r\n\t\"a\" : { } , \"c\" : [ ] } ",
         "{\"b\":[1,2.5,-0,true,false,null],\"a\":{},\"c\":[]}"},
        {"1.5e3", "1500"},
        {"-1E-2", "-0.01"},
        {"9007199254740993", "9007199254740992"},  // past 2^53 a double rounds
        {"1e300", "1e+300"},
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\/\\b\\f\\n\\r\\t\""},
        {"\"\\u0001\\u001F\\u007f\"", "\"\\u0001\\u001f\x7f\""},
        {"\"\\u00e9\\u20AC\"", "\"\xc3\xa9\xe2\x82\xac\""},
        {"\"\\ud83d\\ude00\"", "\"\xf0\x9f\x98\x80\""},
        {"\"\xf4\x8f\xbf\xbf \xef\xbf\xbf\"", "\"\xf4\x8f\xbf\xbf \xef\xbf\xbf\""},
        {"\"\\u0000\"", "\"\\u0000\""},
    };
    for (const auto& [text, written] : cases) EXPECT_EQ(ParseAndWrite(text), written) << text;
}

TEST(Json, RefusesMalformedTextSayingWhatAndWhere)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", "expected a value at byte 0"},
        {"  ", "expected a value at byte 2"},
        {"[1,]", "expected a value at byte 3"},
        {"[1 2]", "expected ',' or ']' at byte 3"},
        {"{\"a\" 1}", "expected ':' at byte 5"},
        {"{1:2}", "expected a member name at byte 1"},
        {"{\"a\":1,}", "expected a member name at byte 7"},
        {"{\"a\":1 \"b\":2}", "expected ',' or '}' at byte 7"},
        {"{\"a\":1,\"b\":2,\"a\":3}", "duplicate key at byte 13"},
        {"1 2", "text after the value at byte 2"},
        {"01", "text after the value at byte 1"},
        {"\xef\xbb\xbf{}", "expected a value at byte 0"},
        {"tru", "expected a value at byte 0"},
        {"nul", "expected a value at byte 0"},
        {"-", "invalid number at byte 0"},
        {"[1.]", "invalid number at byte 1"},
        {".5", "expected a value at byte 0"},
        {"1e+", "invalid number at byte 0"},
        {"-1e400", "number out of range at byte 0"},
        {"\"abc", "unterminated string at byte 0"},
        {"\"a\nb\"", "control character in a string at byte 2"},
        {"\"\\x\"", "invalid escape at byte 1"},
        {"\"\\", "invalid escape at byte 1"},
        {"\"\\u12g4\"", "invalid \\u escape at byte 1"},
        {"\"\\ud83d\"", "lone surrogate at byte 1"},
        {"\"\\ud83dx\"", "lone surrogate at byte 1"},
        {"\"\\ud83d\\u0041\"", "lone surrogate at byte 1"},
        {"\"\\ud83d\\u00\"", "invalid \\u escape at byte 7"},
        {"\"\\ude00\\ud83d\"", "lone surrogate at byte 1"},
        {"\"a\xc3(\"", "invalid UTF-8 at byte 2"},
        {"\"\xc0\xaf\"", "invalid UTF-8 at byte 1"},              // overlong '/'
        {"\"\xe0\x9f\xbf\"", "invalid UTF-8 at byte 1"},          // overlong three bytes
        {"\"\xed\xa0\x80\"", "invalid UTF-8 at byte 1"},          // an encoded surrogate
        {"\"\xf4\x90\x80\x80\"", "invalid UTF-8 at byte 1"},      // past U+10FFFF
        {"\"\xf0\x9f\x98\"", "invalid UTF-8 at byte 1"},          // cut short
        {"\"\x80\"", "invalid UTF-8 at byte 1"},
        {"\"\xff\"", "invalid UTF-8 at byte 1"},
    };
    for (const auto& [text, error] : cases) EXPECT_EQ(ParseAndWrite(text), "error: " + std::string(error)) << text;
}

TEST(Json, RefusesWhatPassesItsLimits)
{
    JsonLimits limits;
    EXPECT_EQ(limits.maxDepth, 16u);
    const std::string deepest = std::string(15, '[') + "{\"a\":1}" + std::string(15, ']');
    EXPECT_EQ(ParseAndWrite(deepest, limits), deepest);
    EXPECT_EQ(ParseAndWrite("[" + deepest + "]", limits), "error: nested deeper than the limit of 16 at byte 16");
    // A limit past what the recursion may take is held at its ceiling, not followed into the stack.
    limits.maxDepth = SIZE_MAX;
    EXPECT_EQ(ParseAndWrite(std::string(100000, '['), limits), "error: nested deeper than the limit of 256 at byte 256");

    limits = JsonLimits();
    limits.maxValues = 5;
    EXPECT_EQ(ParseAndWrite("[1,{\"k\":2},3]", limits), "[1,{\"k\":2},3]");
    EXPECT_EQ(ParseAndWrite("[1,2,3,4,5]", limits), "error: more values than the limit of 5 at byte 9");

    limits = JsonLimits();
    limits.maxStringBytes = 3;
    EXPECT_EQ(ParseAndWrite("{\"abc\":\"\\u00e9\"}", limits), "{\"abc\":\"\xc3\xa9\"}");
    EXPECT_EQ(ParseAndWrite("[\"abcd\"]", limits), "error: string longer than the limit of 3 bytes at byte 1");
    EXPECT_EQ(ParseAndWrite("{\"\\u00e9\\u00e9\":1}", limits), "error: string longer than the limit of 3 bytes at byte 1");
}

TEST(Json, WritesOnlyWhatJsonCanCarry)
{
    const JsonValue unwritable[] = {
        JsonValue::Number(NAN), JsonValue::Number(INFINITY), JsonValue::String("a\xc3"), JsonValue::String("\xed\xa0\x80"),
    };
    std::string json;
    for (const JsonValue& value : unwritable) {
        EXPECT_FALSE(WriteJson(value, json)) << json;
        JsonValue object = JsonValue::Object();
        ASSERT_TRUE(object.Add("x", value));
        EXPECT_FALSE(WriteJson(object, json)) << json;
    }
    JsonValue badKey = JsonValue::Object();
    ASSERT_TRUE(badKey.Add("\xff", JsonValue()));
    EXPECT_FALSE(WriteJson(badKey, json));
}

TEST(Json, AccessorsRefuseOtherTypesAndRanges)
{
    JsonValue message;
    JsonError error;
    ASSERT_TRUE(JsonParser().Parse(
        "{\"n\":5,\"f\":5.5,\"s\":\"5\",\"b\":true,\"big\":9007199254740994,\"neg\":-3,\"a\":[7]}", message, error));
    int64_t number = 42;
    EXPECT_TRUE(message.GetInt("n", 0, 5, number) && number == 5);
    EXPECT_TRUE(message.GetInt("neg", -3, 0, number) && number == -3);
    number = 42;
    EXPECT_FALSE(message.GetInt("n", 6, 10, number));
    EXPECT_FALSE(message.GetInt("neg", -2, 0, number));
    EXPECT_FALSE(message.GetInt("f", INT64_MIN, INT64_MAX, number));
    EXPECT_FALSE(message.GetInt("s", INT64_MIN, INT64_MAX, number));
    EXPECT_FALSE(message.GetInt("big", INT64_MIN, INT64_MAX, number));
    EXPECT_FALSE(message.GetInt("missing", INT64_MIN, INT64_MAX, number));
    EXPECT_EQ(number, 42);

    std::string text;
    bool flag = false;
    EXPECT_TRUE(message.GetString("s", text) && text == "5");
    EXPECT_FALSE(message.GetString("n", text));
    EXPECT_TRUE(message.GetBool("b", flag) && flag);
    EXPECT_FALSE(message.GetBool("n", flag));
    ASSERT_NE(message.Find("a", JsonValue::Type::kArray), nullptr);
    EXPECT_EQ(message.Find("a", JsonValue::Type::kObject), nullptr);
    EXPECT_EQ(message.Find("a")->Find("0"), nullptr);
    EXPECT_FALSE(message.Find("a")->GetInt("0", 0, 10, number));

    JsonValue reply = JsonValue::Object();
    EXPECT_TRUE(reply.Add("k", JsonValue::Bool(true)));
    EXPECT_FALSE(reply.Add("k", JsonValue()));
    EXPECT_FALSE(reply.Push(JsonValue()));
    EXPECT_FALSE(JsonValue::Array().Add("k", JsonValue()));
}

}  // namespace

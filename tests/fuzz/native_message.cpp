// What a browser's extension sends the player: the first byte says how the pipe cuts the rest
// into pieces; every message the reader gives out goes through the parser, and what parses is
// written back, framed, read again and parsed again to the same value; the host's checks take
// or refuse each message, a refusal always with its reason.
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "HostCommand.h"
#include "JsonParser.h"
#include "JsonWriter.h"
#include "NativeMessageReader.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

void RoundTrip(const std::string& message, const JsonLimits& limits)
{
    JsonValue value;
    JsonError error;
    if (!JsonParser(limits).Parse(message, value, error)) {
        Check(error.offset <= message.size() && !error.what.empty());
        return;
    }
    std::string json;
    Check(WriteJson(value, json));
    std::string framed;
    Check(FrameHostMessage(json, framed));
    NativeMessageReader reader;
    std::string_view input(framed);
    std::string again;
    Check(reader.Read(input, again) == NativeMessageReader::Status::kMessage && input.empty() && again == json);
    JsonValue reread;
    Check(JsonParser(limits).Parse(again, reread, error) && reread == value);
    std::string rewritten;
    Check(WriteJson(reread, rewritten) && rewritten == json);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const size_t piece = input.Byte() % 32 + 1;
    const std::string stream = input.Rest();
    JsonLimits limits;
    limits.maxValues = 2000;
    limits.maxStringBytes = 4096;
    NativeMessageReader reader(64 * 1024);
    std::string message;
    for (size_t at = 0; at < stream.size(); at += piece) {
        std::string_view bytes = std::string_view(stream).substr(at, piece);
        NativeMessageReader::Status status;
        while ((status = reader.Read(bytes, message)) == NativeMessageReader::Status::kMessage) {
            Check(!message.empty() && message.size() <= 64 * 1024);
            RoundTrip(message, limits);
            HostCommand command;
            std::string refusal;
            Check(ReadHostCommand(message, command, refusal) == refusal.empty());
        }
        if (status == NativeMessageReader::Status::kFailed) {
            Check(reader.error() != NativeMessageReader::Error::kNone && !reader.Finish());
            return 0;
        }
        Check(bytes.empty());
    }
    reader.Finish();
    return 0;
}

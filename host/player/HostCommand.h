// A message of the page to the native host, checked and read into plain values. Everything in
// it comes from a web page through the extension: a message is taken only when every member
// it needs is there, of its type and in its range; otherwise it is refused with a line that
// says what was wrong. What the message means for the page's state (an element that is not
// there, a second hello) is the host's to judge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HostCommand {
    enum class Kind { kHello, kAdd, kRemove, kResize, kMouse, kKey, kFocus, kVisible, kFrameAck, kFileData, kFileEnd };
    enum class Mouse { kDown, kUp, kMove, kWheel };

    static constexpr int kLargestSide = 8192;
    static constexpr size_t kLargestPieceBytes = 512u << 10;

    Kind kind = Kind::kHello;
    int element = 0;    // every kind but hello, visible, fileData and fileEnd
    int request = 0;    // fileData, fileEnd
    int width = 0;      // add, resize
    int height = 0;
    // hello
    std::string pageUrl;
    bool png = false;
    bool flag = false;  // hello and visible: visible; focus: focused; fileEnd: ok; key: down
    // add: the element's attributes, an <object>'s params after its own
    bool object = false;
    std::vector<std::pair<std::string, std::string>> attributes;
    // mouse
    Mouse mouse = Mouse::kMove;
    int x = 0;
    int y = 0;
    int button = 0;
    int deltaY = 0;
    int modifiers = 0;  // 1 shift, 2 control, 4 alt, 8 meta
    // key
    int keyCode = 0;
    std::string text;   // also fileEnd's error
    // frameAck
    int64_t frame = 0;
    // fileData: the bytes; fileEnd: the final URL and type
    std::string data;
    std::string url;
    std::string mimeType;
};

// False with `error` set when the JSON text is not a message the host takes.
bool ReadHostCommand(std::string_view json, HostCommand& command, std::string& error);

// What the channel tests share: a channel with its block created as a launch creates it
// (the renderer is not started) and the renderer's end attached to the same block.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "TestFetcher.h"
#include "base/UniqueHandle.h"
#include "channel/RendererChannel.h"
#include "block/RendererClient.h"

inline OwnedWindow MakeWindow()
{
    return OwnedWindow(
        CreateWindowExA(0, "STATIC", "record", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

inline std::vector<uint8_t> Bytes(const void* view)
{
    const uint8_t* start = static_cast<const uint8_t*>(view);
    return std::vector<uint8_t>(start, start + kBlockUsedSize);
}

struct Channel {
    explicit Channel(LaunchSettings settings = LaunchSettings(), bool attach = true)
    {
        settings.fetcher = &fetcher;
        created = channel.CreateBlock(settings);
        attached = created && attach && renderer.Attach(channel.NamePart());
    }
    ChannelBlock* Block() { return channel.Block(); }

    TestFetcher fetcher;
    RendererChannel channel;
    RendererClient renderer;
    bool created = false;
    bool attached = false;
};


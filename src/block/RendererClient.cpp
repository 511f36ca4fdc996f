#include "block/RendererClient.h"

#include "block/ObjectSecurity.h"

namespace {

constexpr uint32_t kStatusTextLimit = 1024;

}  // namespace

bool RendererClient::Attach(const std::string& name)
{
    return Open(name) && CreateBlockMutex(CreatorLabel());
}

LaunchFields RendererClient::ReadLaunchFields()
{
    const ChannelBlock* block = Block();
    LaunchFields fields;
    fields.pluginWindow = block->pluginWindow;
    fields.active = block->active != 0;
    fields.adsMode = block->adsMode;
    fields.siteId = block->siteId;
    View()->ReadString(block->pageLocation, &fields.pageLocation);
    View()->ReadString(block->appletUrl, &fields.appletUrl);
    View()->ReadString(block->rendererArgs, &fields.rendererArgs);
    return fields;
}

bool RendererClient::IsActive() const
{
    return Block()->active != 0;
}

bool RendererClient::QuitRequested() const
{
    return Block()->quitRequest == 1;
}

uint32_t RendererClient::Heartbeat() const
{
    return Block()->heartbeat;
}

int RendererClient::PostRequest(int32_t id, const std::string& name)
{
    ChannelBlock* block = Block();
    for (int i = 0; i < kRequestSlots; ++i) {
        RequestSlot& slot = block->requests[i];
        if (slot.id != kFreeSlot) continue;
        if (!View()->StoreString(slot.name, name.c_str(), static_cast<uint32_t>(name.size() + 1))) return -1;
        slot.id = id;
        return i;
    }
    return -1;
}

int32_t RendererClient::Status(int32_t id) const
{
    return id >= 0 && id < kStatusWords ? Block()->requestStatus[id] : StateNone;
}

void RendererClient::ReleaseRequest(int32_t id)
{
    if (id >= 0 && id < kStatusWords) Block()->requestStatus[id] = StateReleased;
}

bool RendererClient::TakeDelivery(int32_t* id, std::string* path)
{
    for (DeliverySlot& slot : Block()->deliveries) {
        if (slot.id == kFreeSlot) continue;
        *id = slot.id;
        path->clear();
        View()->ReadString(slot.path, path);
        View()->StoreString(slot.path, nullptr, 0);
        slot.id = kFreeSlot;
        return true;
    }
    return false;
}

bool RendererClient::SetStatusText(const char* text)
{
    return View()->StoreString(Block()->statusText, text, kStatusTextLimit);
}

std::vector<WindowEntry> RendererClient::Windows()
{
    std::vector<WindowEntry> entries;
    for (const WindowRecord& record : Block()->windows) {
        WindowEntry entry{std::string(), record.window};
        if (View()->ReadString(record.name, &entry.name) && !entry.name.empty()) entries.push_back(entry);
    }
    return entries;
}

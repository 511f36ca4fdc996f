#include "channel/RendererGroup.h"

#include <algorithm>
#include <new>

#include "activity/ActivityController.h"
#include "channel/RendererChannel.h"
#include "base/AsciiCase.h"
#include "base/ModuleHold.h"
#include "base/ResourceFetcher.h"

namespace {

constexpr size_t kFirstCapacity = 16;

constexpr char kLaunchFailureText[] =
    "An error occurred while attempting to launch the Orbolanth3D renderer. The renderer executable "
    "may be missing or corrupt, or the registry setting may be incorrect. If restarting your web "
    "browser does not correct the problem, you should reinstall the Orbolanth player.\n\nThe applet "
    "will display the Orbolanth logo.";
constexpr char kLaunchFailureCaption[] = "Orbolanth Player Error";

}  // namespace

GroupRegistry::~GroupRegistry()
{
    for (Entry& entry : entries) delete entry.group;
}

RendererGroup* GroupRegistry::JoinGroup(const std::string& name, bool asLauncher, GroupMember* member)
{
    for (size_t i = 0; i < used; ++i) {
        Entry& entry = entries[i];
        if (!entry.group || !EqualsIgnoringCase(entry.name.c_str(), name.c_str())) continue;
        if (asLauncher && entry.group->launcher) return nullptr;
        ++entry.refs;
        if (asLauncher) entry.group->launcher = true;
        if (member) entry.group->members.push_back(member);
        return entry.group;
    }

    RendererGroup* group = new RendererGroup;
    group->launcher = asLauncher;
    if (member) group->members.push_back(member);
    Entry* slot = nullptr;
    for (size_t i = 0; i < used && !slot; ++i) {
        if (!entries[i].group) slot = &entries[i];
    }
    if (!slot) {
        if (entries.empty()) {
            entries.resize(kFirstCapacity);
        } else if (used == entries.size()) {
            entries.resize(entries.size() * 2);
        }
        slot = &entries[used++];
    }
    slot->name = name;
    slot->group = group;
    slot->refs = 1;
    ++live;
    return group;
}

GroupRegistry::Entry* GroupRegistry::FindByGroup(const RendererGroup* group)
{
    for (size_t i = 0; i < used; ++i) {
        if (group && entries[i].group == group) return &entries[i];
    }
    return nullptr;
}

int GroupRegistry::RefsOf(const RendererGroup* group) const
{
    for (size_t i = 0; i < used; ++i) {
        if (group && entries[i].group == group) return entries[i].refs;
    }
    return 0;
}

void GroupRegistry::LeaveGroup(RendererGroup* group, bool wasLauncher, GroupMember* member, bool rendererDied)
{
    Entry* entry = FindByGroup(group);
    if (!entry) return;
    --entry->refs;
    std::vector<GroupMember*>& members = group->members;
    members.erase(std::remove(members.begin(), members.end(), member), members.end());
    if (wasLauncher && group->launcher) {
        group->launcher = false;
        // Joiners left behind with the channel would keep a dead renderer's block, and the
        // next launcher would find it in its way.
        if (group->channel) {
            EndGroup(entry, rendererDied);
            return;
        }
    }
    if (entry->refs <= 0) EndGroup(entry, rendererDied);
}

void GroupRegistry::EndGroup(Entry* entry, bool rendererDied)
{
    RendererGroup* group = entry->group;
    if (group->channel) {
        if (ActivityController* controller = GetActivityController()) {
            controller->Track(group->channel, true);
        }
        // A launcher that gives its renderer up at once (a name it cannot reserve or register)
        // leaves it running: once the renderer has opened the block, only this request ends
        // it, else it draws on over the logo for nobody. A closing page has asked already.
        if (!rendererDied) group->channel->RequestQuit();
        group->channel->Close();
        group->channel->Release();
    }
    const std::vector<GroupMember*> members = group->members;
    delete group;
    entry->group = nullptr;
    entry->name.clear();
    entry->refs = 0;
    if (--live <= 0) {
        entries.clear();
        entries.shrink_to_fit();
        used = 0;
        live = 0;
    }
    // Told last: the registry is consistent by then, whatever they do next.
    for (GroupMember* member : members) member->GroupEnded(rendererDied);
}

GroupRegistry& Groups()
{
    static GroupRegistry registry;
    return registry;
}

bool StartRenderer(RendererGroup* group, const LaunchSettings& settings)
{
    ActivityController* controller = GetActivityController();
    RendererChannel* channel = controller ? new (std::nothrow) RendererChannel() : nullptr;
    if (!channel) {
        // The fetcher's reference was meant for the channel; nobody else will give it back.
        if (settings.fetcher) settings.fetcher->Release();
        return false;
    }
    group->channel = channel;
    if (channel->Launch(settings)) {
        controller->Track(channel, false);
        return true;
    }
    channel->Release();
    group->channel = nullptr;
    ModuleHold hold;
    MessageBoxA(nullptr, kLaunchFailureText, kLaunchFailureCaption, MB_ICONERROR);
    return false;
}

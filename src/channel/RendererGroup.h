// Renderer groups: the instances of one browser process that show one applet together,
// by name. The launcher (the instance whose page gave a src) starts the renderer; the
// others only hand it their windows. The renderer is the launcher's: when the launcher
// leaves, or its renderer dies, the group ends at once for every member, so the next
// launcher of that name starts from nothing.
#pragma once

#include <string>
#include <vector>

#include "channel/LaunchSettings.h"

class RendererChannel;

// A member that wants to hear when its group ends under it. By then it no longer belongs
// to the group and must not leave it.
class GroupMember {
public:
    virtual void GroupEnded(bool rendererDied) = 0;

protected:
    ~GroupMember() = default;
};

struct RendererGroup {
    RendererChannel* channel = nullptr;  // none until a launcher has started the renderer
    bool launcher = false;               // one instance holds the launch role
    std::vector<GroupMember*> members;   // those who asked to hear of the group's end
};

class GroupRegistry {
public:
    GroupRegistry() = default;
    ~GroupRegistry();
    GroupRegistry(const GroupRegistry&) = delete;
    GroupRegistry& operator=(const GroupRegistry&) = delete;

    // Names compare ignoring case. None when asLauncher meets a group that has a launcher.
    RendererGroup* JoinGroup(const std::string& name, bool asLauncher, GroupMember* member = nullptr);
    // The last member to leave destroys the group and its channel, asking a renderer that
    // did not die to quit; so does a launcher that leaves a group with a channel, telling
    // the other members (rendererDied passed on).
    void LeaveGroup(RendererGroup* group, bool wasLauncher, GroupMember* member = nullptr,
                    bool rendererDied = false);

    size_t Capacity() const { return entries.size(); }
    size_t Used() const { return used; }
    int Live() const { return live; }
    int RefsOf(const RendererGroup* group) const;

private:
    struct Entry {
        std::string name;
        RendererGroup* group = nullptr;
        int refs = 0;
    };

    Entry* FindByGroup(const RendererGroup* group);
    void EndGroup(Entry* entry, bool rendererDied);

    std::vector<Entry> entries;  // capacity 16 when first needed, doubled when full
    size_t used = 0;             // entries ever handed out
    int live = 0;                // groups that exist
};

// The registry of this copy of the plug-in.
GroupRegistry& Groups();

// Creates the group's channel and launches its renderer. Takes over settings.fetcher's
// reference on every path. A failed launch shows the launch-failure box.
bool StartRenderer(RendererGroup* group, const LaunchSettings& settings);

// The block as the kernel holds it: a named mapping and mutex, the fields a new block and
// a launch fill in, the revision check of the other side, and the channel operations on
// window records, flags and the status line. The renderer's side is played by a second
// view of the same mapping, which lies at another address of this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <regex>
#include <thread>
#include <vector>

#include "ChannelFixture.h"
#include "HeapCheck.h"
#include "channel/RendererChannel.h"
#include "block/RendererClient.h"

namespace {

// Dismisses message boxes with a caption as they appear and remembers their text.
class BoxWatcher {
public:
    explicit BoxWatcher(const char* caption) : caption_(caption), thread_([this] { Watch(); }) {}
    ~BoxWatcher()
    {
        stop_ = true;
        thread_.join();
    }
    int Count() const { return count_; }
    std::string Text() const { return text_; }

private:
    void Watch()
    {
        while (!stop_) {
            if (HWND box = FindWindowA(nullptr, caption_)) {
                EnumChildWindows(box, Collect, reinterpret_cast<LPARAM>(this));
                ++count_;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                while (IsWindow(box)) Sleep(10);
            }
            Sleep(10);
        }
    }
    static BOOL CALLBACK Collect(HWND child, LPARAM self)
    {
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof text);
        reinterpret_cast<BoxWatcher*>(self)->text_ += text;
        return TRUE;
    }

    const char* caption_;
    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    std::string text_;
    std::thread thread_;
};

TEST(ChannelBlock, NewBlockHasTheWireLayout)
{
    EXPECT_EQ(MappingSize(65536), 65536u);
    EXPECT_EQ(MappingSize(4096), 53248u);

    SharedSegment segment;
    DWORD before = GetTickCount();
    ASSERT_TRUE(segment.Create("{TEST-NEW-BLOCK}", ObjectLabel::Default));
    ASSERT_TRUE(segment.CreateBlockMutex(ObjectLabel::Default));
    DWORD after = GetTickCount();
    MEMORY_BASIC_INFORMATION memory;
    ASSERT_NE(VirtualQuery(segment.ViewAddress(), &memory, sizeof memory), 0u);
    EXPECT_EQ(memory.RegionSize, SharedSegment::ViewSize());
    EXPECT_EQ(SharedSegment::ViewSize(), 65536u);

    const uint8_t* bytes = static_cast<const uint8_t*>(segment.ViewAddress());
    const ChannelBlock* block = segment.Block();
    EXPECT_STREQ(block->revision, "Sat Apr 15 19:45:33 2000");
    for (size_t i = sizeof kRevision; i < 1024; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(block->active, 0);
    EXPECT_EQ(block->createdFlag, 1);
    EXPECT_GE(block->heartbeat, before);
    EXPECT_LE(block->heartbeat, after);
    EXPECT_EQ(block->quitRequest, 0);
    for (uint32_t offset : {1025u, 1026u, 1027u, 1037u, 1038u, 1039u, 1069u, 1070u, 1071u}) {
        EXPECT_EQ(bytes[offset], 0);
    }
    for (uint32_t offset : {1028u, 1032u, 1040u, 1044u, 1048u, 1052u, 1056u, 1060u}) {
        EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + offset), 0u) << offset;
    }
    for (int i = 0; i < kStatusWords; ++i) ASSERT_EQ(block->requestStatus[i], 0);
    for (int i = 0; i < kRequestSlots; ++i) {
        ASSERT_EQ(*reinterpret_cast<const int32_t*>(bytes + 5168 + 8 * i), -1);
        ASSERT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 5172 + 8 * i), 0u);
        ASSERT_EQ(*reinterpret_cast<const int32_t*>(bytes + 7216 + 8 * i), -1);
        ASSERT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 7220 + 8 * i), 0u);
    }
    for (uint32_t offset = 9264; offset < 10800; ++offset) ASSERT_EQ(bytes[offset], 0) << offset;
    HeapReport heap = CheckHeap(*block);
    EXPECT_EQ(heap.error, "");
    EXPECT_EQ(heap.chunks, 1);
    EXPECT_EQ(heap.firstChunkHeader, 40944u);
    EXPECT_EQ(block->heapBase, CreatorBase(reinterpret_cast<uintptr_t>(bytes)) + 10844);
    for (uint32_t offset = kBlockUsedSize; offset < 65536; ++offset) ASSERT_EQ(bytes[offset], 0) << offset;
}

TEST(ChannelBlock, LaunchFillNamesTheObjectsAndCutsTheStrings)
{
    LaunchSettings settings;
    settings.window = reinterpret_cast<HWND>(0x00012345);
    settings.alwaysActive = true;
    settings.adsMode = 2;
    settings.siteId = -77;
    settings.pageLocation = std::string(3000, 'p');
    settings.appletUrl = std::string(3000, 'a');
    settings.rendererArgs = std::string(3000, 'r');
    Channel c(settings);
    ASSERT_TRUE(c.created);

    const std::string& namePart = c.channel.NamePart();
    EXPECT_TRUE(std::regex_match(namePart, std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})")))
        << namePart;
    const KernelHandle mapping(
        OpenFileMappingA(FILE_MAP_READ, FALSE, ("Orbolanth" + namePart + ":SharedMemory").c_str()));
    const KernelHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, ("Orbolanth" + namePart + ":SMMutex").c_str()));
    EXPECT_TRUE(mapping.Valid());
    EXPECT_TRUE(mutex.Valid());

    ASSERT_TRUE(c.attached);
    LaunchFields fields = c.renderer.ReadLaunchFields();
    EXPECT_EQ(fields.pluginWindow, 0x00012345u);
    EXPECT_TRUE(fields.active);
    EXPECT_EQ(fields.adsMode, 2);
    EXPECT_EQ(fields.siteId, -77);
    EXPECT_EQ(fields.pageLocation, std::string(2047, 'p'));
    EXPECT_EQ(fields.appletUrl, std::string(2047, 'a'));
    EXPECT_EQ(fields.rendererArgs, std::string(1023, 'r'));
    EXPECT_NE(c.renderer.ViewAddress(), c.channel.ViewAddress());
}

TEST(ChannelBlock, OpeningChecksTheRevisionAndWritesNothing)
{
    SharedSegment creator;
    ASSERT_TRUE(creator.Create("{TEST-REVISION}", ObjectLabel::Default));
    std::vector<uint8_t> before = Bytes(creator.ViewAddress());
    {
        BoxWatcher boxes("Revision Mismatch!");
        RendererClient client;
        ASSERT_TRUE(client.Attach("{TEST-REVISION}"));
        EXPECT_EQ(Bytes(creator.ViewAddress()), before);
        EXPECT_EQ(boxes.Count(), 0);
    }

    const char* variants[] = {"Sat Apr 15 19:45:34 2000", "sat Apr 15 19:45:33 2000",
                              "Sat Apr 15 19:45:33 2000!"};
    for (const char* revision : variants) {
        std::memcpy(creator.Block()->revision, revision, std::strlen(revision) + 1);
        BoxWatcher boxes("Revision Mismatch!");
        RendererClient client;
        EXPECT_FALSE(client.Attach("{TEST-REVISION}")) << revision;
        EXPECT_EQ(client.Mapping(), nullptr);
        EXPECT_EQ(client.ViewAddress(), nullptr);
        for (int i = 0; i < 200 && boxes.Count() == 0; ++i) Sleep(10);
        EXPECT_EQ(boxes.Count(), 1) << revision;
        EXPECT_NE(
            boxes.Text().find("Revision numbers don't match for the RendererAPI!.\nYour ActiveXOrbolanth "
                              "control and your renderer are not compatible.\n\nThe renderer will now "
                              "exit, and the control will display just a logo."),
            std::string::npos)
            << boxes.Text();
    }
    RendererClient missing;
    EXPECT_FALSE(missing.Attach("{TEST-NO-SUCH-BLOCK}"));
}

TEST(RendererChannel, FlagsStatusTextAndQuit)
{
    LaunchSettings settings;
    settings.alwaysActive = true;
    Channel always(settings);
    ASSERT_TRUE(always.attached);
    always.channel.SetActive(false);
    EXPECT_EQ(always.Block()->active, 1);

    Channel c;
    ASSERT_TRUE(c.attached);
    EXPECT_EQ(c.Block()->active, 0);
    c.channel.SetActive(true);
    EXPECT_TRUE(c.renderer.IsActive());
    c.channel.SetActive(false);
    EXPECT_FALSE(c.renderer.IsActive());

    std::string text = "untouched";
    EXPECT_FALSE(c.channel.GetStatusText(text));
    ASSERT_TRUE(c.renderer.SetStatusText("Loading scene"));
    ASSERT_TRUE(c.channel.GetStatusText(text));
    EXPECT_EQ(text, "Loading scene");

    EXPECT_FALSE(c.renderer.QuitRequested());
    EXPECT_TRUE(c.channel.RequestQuit());
    EXPECT_TRUE(c.renderer.QuitRequested());

    uint32_t stamped = c.renderer.Heartbeat();
    Sleep(20);
    c.channel.ServiceTick();
    EXPECT_NE(c.renderer.Heartbeat(), stamped);
}

TEST(RendererChannel, WindowRecords)
{
    Channel c;
    ASSERT_TRUE(c.attached);
    const OwnedWindow first = MakeWindow();
    const OwnedWindow second = MakeWindow();
    HWND one = first.Get();
    HWND two = second.Get();
    ASSERT_TRUE(one && two);

    EXPECT_TRUE(c.channel.ReserveWindowName("side"));
    EXPECT_FALSE(c.channel.ReserveWindowName("side"));
    EXPECT_FALSE(c.channel.ReserveWindowName(""));
    EXPECT_TRUE(c.channel.RegisterWindow("main", one));
    EXPECT_FALSE(c.channel.RegisterWindow("other", one));  // already registered under a name
    EXPECT_FALSE(c.channel.RegisterWindow("", two));
    EXPECT_FALSE(c.channel.RegisterWindow("main", two));  // the name holds another window
    EXPECT_FALSE(c.channel.RegisterWindow("x", reinterpret_cast<HWND>(0x7FFF0)));
    EXPECT_TRUE(c.channel.RegisterWindow("side", two));  // fills the reserved record
    std::vector<WindowEntry> records = c.renderer.Windows();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "side");
    EXPECT_EQ(records[0].window, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(two)));
    EXPECT_EQ(records[1].name, "main");

    HWND found = nullptr;
    EXPECT_TRUE(c.channel.LookupWindow("main", &found));
    EXPECT_EQ(found, one);
    EXPECT_FALSE(c.channel.LookupWindow("Main", &found));  // names compare exactly
    EXPECT_EQ(found, nullptr);
    found = one;
    EXPECT_TRUE(c.channel.LookupWindow("", &found));  // the first free record
    EXPECT_EQ(found, nullptr);

    EXPECT_FALSE(c.channel.UnregisterWindow("main", two));
    EXPECT_FALSE(c.renderer.QuitRequested());
    EXPECT_TRUE(c.channel.UnregisterWindow("main", one));
    // One window leaving does not end the renderer for the others.
    EXPECT_FALSE(c.renderer.QuitRequested());
    EXPECT_FALSE(c.channel.LookupWindow("main", &found));
    EXPECT_EQ(c.renderer.Windows().size(), 1u);

    // Sixty-four names fill every record.
    for (int i = 1; i < kWindowRecords; ++i) {
        ASSERT_TRUE(c.channel.ReserveWindowName("w" + std::to_string(i)));
    }
    EXPECT_FALSE(c.channel.ReserveWindowName("one too many"));
    EXPECT_FALSE(c.channel.RegisterWindow("one too many", one));
}

// A 64-bit plug-in whose view lies above 4 GB counts its references from a base of its own:
// every string either end leaves for the other then goes by a reference that is a pointer
// of neither.
TEST(RendererChannel, StringsGoByTheCreatorsBaseNotItsAddress)
{
    Channel c(LaunchSettings(), false);
    ASSERT_TRUE(c.created);
    ASSERT_NE(reinterpret_cast<uintptr_t>(c.channel.ViewAddress()), uintptr_t{kHighViewBase});
    c.channel.View()->CreateFill(GetTickCount(), kHighViewBase);
    ASSERT_TRUE(c.renderer.Attach(c.channel.NamePart()));
    ChannelBlock* block = c.Block();
    EXPECT_EQ(block->heapBase, kHighViewBase + 10844);

    c.fetcher.mode = TestFetcher::Mode::Ready;
    c.fetcher.pathFor = [](const std::string& url) { return "C:\\kept\\" + url.substr(url.rfind('/') + 1); };
    const int slot = c.renderer.PostRequest(7, "http://example.org/scene/cube.obv");
    ASSERT_GE(slot, 0);
    c.channel.ServiceTick();
    ASSERT_EQ(c.fetcher.calls.size(), 1u);
    EXPECT_EQ(c.fetcher.calls[0].url, "http://example.org/scene/cube.obv");
    c.channel.ServiceTick();
    int32_t id = 0;
    std::string path;
    ASSERT_TRUE(c.renderer.TakeDelivery(&id, &path));
    EXPECT_EQ(id, 7);
    EXPECT_EQ(path, "C:\\kept\\cube.obv");

    std::string text;
    ASSERT_TRUE(c.renderer.SetStatusText("Loading scene"));
    ASSERT_TRUE(c.channel.GetStatusText(text));
    EXPECT_EQ(text, "Loading scene");
    const OwnedWindow window = MakeWindow();
    ASSERT_TRUE(c.channel.RegisterWindow("main", window.Get()));
    std::vector<WindowEntry> records = c.renderer.Windows();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "main");
    EXPECT_EQ(CheckHeap(*block).error, "");
}

// The renderer may leave anything in the words the plug-in follows: references that lead
// nowhere, ids beyond the status words. Nothing of it may be followed or written through.
TEST(RendererChannel, GarbageInTheBlockIsNeverFollowed)
{
    Channel c;
    ASSERT_TRUE(c.attached);
    ChannelBlock* block = c.Block();
    const uint32_t base = block->heapBase;
    std::string text = "unchanged";

    block->statusText = base + kHeapRegionSize - 2;  // inside the end fence: no terminator
    EXPECT_FALSE(c.channel.GetStatusText(text));
    block->statusText = 0x00000100u;
    EXPECT_FALSE(c.channel.GetStatusText(text));
    EXPECT_EQ(text, "unchanged");

    // Requests whose names lead nowhere are dropped and their slots emptied; nothing is freed.
    const BlockRef garbage[] = {1u, base - 4, base + kHeapRegionSize, base + kHeapRegionSize - 1, 0u};
    for (int i = 0; i < 5; ++i) {
        block->requests[i].id = 10 + i;
        block->requests[i].name = garbage[i];
    }
    std::vector<uint8_t> heap(reinterpret_cast<uint8_t*>(&block->heapControl),
                              reinterpret_cast<uint8_t*>(&block->heapBase));
    c.channel.ServiceTick();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(block->requests[i].id, -1);
        EXPECT_EQ(block->requests[i].name, 0u);
        EXPECT_EQ(block->requestStatus[10 + i], 0);
    }
    EXPECT_TRUE(c.fetcher.calls.empty());
    EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&block->heapControl),
                                   reinterpret_cast<uint8_t*>(&block->heapBase)),
              heap);

    // Ids outside the status words are not served and write nowhere.
    c.fetcher.mode = TestFetcher::Mode::Ready;
    std::vector<uint8_t> before = Bytes(block);
    for (int32_t id : {1024, 4096, 0x7FFFFFFF, -3, INT32_MIN}) {
        ASSERT_GE(c.renderer.PostRequest(id, "x.obv"), 0);
    }
    c.channel.ServiceTick();
    c.channel.ServiceTick();
    EXPECT_TRUE(c.fetcher.calls.empty());
    std::vector<uint8_t> after = Bytes(block);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 1064, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 1068, before.begin() + 10800, after.begin() + 1068));

    // A window record whose name leads nowhere counts as free.
    block->windows[0].name = base + kHeapRegionSize - 1;
    const OwnedWindow window = MakeWindow();
    EXPECT_TRUE(c.channel.RegisterWindow("main", window.Get()));
    EXPECT_EQ(c.renderer.Windows().size(), 1u);
    EXPECT_EQ(CheckHeap(*block).error, "");
}

}  // namespace

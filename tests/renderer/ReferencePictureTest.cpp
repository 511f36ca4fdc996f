// The sample applets must keep looking as they do: each is drawn at fixed clock times and sizes
// and compared with pictures kept in reference-pictures.tar.gz (unpacked into the build tree when
// it is configured), and what lies under a few pixels must stay what it was.
//
// To make the pictures again, from the renderer as it stands, run this program with
// ORB_WRITE_REFERENCE_PICTURES=1 in its environment: it writes every picture into
// <build tree>/reference-pictures-written and then fails, saying so and how to pack them (so a
// run that writes can never pass). Look at them before committing the new archive.
#include "BmpFile.h"
#include "DiskApplet.h"
#include "RendererRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace orb;

namespace {

const char kSamples[] = ORB_SOURCE_DIR "/samples/applets/";
const char kReferences[] = ORB_BUILD_DIR "/reference-pictures/";
const char kWritten[] = ORB_BUILD_DIR "/reference-pictures-written/";

// Pixels may differ by this much per channel (rounding), and that many of them by more (edges).
constexpr int kChannelTolerance = 2;
constexpr double kMatchingShare = 0.999;

struct Picture {
    const char* applet;
    double seconds;  // the applet's clock
    int width, height;
};

// Times where every sample is visibly in motion: boxes half-turned and bobbing, rings across each
// other, the moon on either side of the planet.
const Picture kPictures[] = {
    {"orbit.obvm", 0.7, 160, 120},  {"orbit.obvm", 0.7, 320, 180},  {"orbit.obvm", 3.9, 160, 120},
    {"orbit.obvm", 3.9, 320, 180},  {"gyro.obvm", 1.3, 160, 120},   {"gyro.obvm", 1.3, 320, 180},
    {"gyro.obvm", 4.6, 160, 120},   {"gyro.obvm", 4.6, 320, 180},   {"cubes.obvm", 2.2, 160, 120},
    {"cubes.obvm", 2.2, 320, 180},  {"cubes.obvm", 6.8, 160, 120},  {"cubes.obvm", 6.8, 320, 180},
};

std::string FileName(const Picture& picture)
{
    std::string applet = picture.applet;
    return applet.substr(0, applet.find('.')) + "-" + std::to_string(std::lround(picture.seconds * 1000)) +
           "ms-" + std::to_string(picture.width) + "x" + std::to_string(picture.height) + ".bmp";
}

// A view of the sample drawn at that time; the applet stays loaded for the checks that follow.
struct Drawn {
    explicit Drawn(const Picture& picture) : applet(kSamples, picture.applet)
    {
        applet.Session().AdvanceTime(picture.seconds);
        view.frame.Resize(picture.width, picture.height);
        applet.Session().RenderFrame(view);
    }
    DiskApplet applet;
    SceneView view;
};

int ChannelDifference(uint32_t a, uint32_t b)
{
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8)
        largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return largest;
}

::testing::AssertionResult LooksLike(const Bitmap& reference, const FrameBuffer& frame)
{
    if (reference.width != frame.Width() || reference.height != frame.Height())
        return ::testing::AssertionFailure() << "the reference is " << reference.width << "x" << reference.height
                                             << ", the frame " << frame.Width() << "x" << frame.Height();
    int differing = 0, largest = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) {
            int difference = ChannelDifference(reference.pixels[static_cast<size_t>(y) * reference.width + x] & 0xFFFFFF,
                                               frame.PixelAt(x, y));
            largest = std::max(largest, difference);
            if (difference > kChannelTolerance && differing++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    }
    const double total = static_cast<double>(frame.Width()) * frame.Height();
    auto result = differing <= total * (1 - kMatchingShare) ? ::testing::AssertionSuccess()
                                                              : ::testing::AssertionFailure();
    result << differing << " of " << total << " pixels differ by more than " << kChannelTolerance
           << " per channel, the largest difference is " << largest;
    if (differing)
        result << ", the first at (" << firstX << ", " << firstY << ")";
    return result;
}

}  // namespace

TEST(ReferencePictures, TheSamplesLookAsTheyDid)
{
    const char* write = std::getenv("ORB_WRITE_REFERENCE_PICTURES");
    const bool writing = write && *write;
    if (writing)
        std::filesystem::create_directories(kWritten);
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(FileName(picture));
        Drawn drawn(picture);
        ASSERT_EQ(drawn.applet.Session().PendingCount(), 0) << drawn.applet.Status();
        if (writing) {
            ASSERT_TRUE(WriteBmp(kWritten + FileName(picture), drawn.view.frame));
            continue;
        }
        Bitmap reference = ReadBmp(kReferences + FileName(picture));
        ASSERT_GT(reference.width, 0) << "no reference picture in " << kReferences;
        EXPECT_TRUE(LooksLike(reference, drawn.view.frame));
    }
    if (writing)
        FAIL() << "wrote the pictures into " << kWritten << " instead of comparing; pack them with\n"
               << "  tar -czf tests/renderer/reference-pictures.tar.gz -C <build tree>/reference-pictures-written .";
}

// What a click finds in those frames: the object under the pointer (the renderer's picking), and
// the link followed where it is one.
TEST(ReferencePictures, ClicksFindTheSameObjects)
{
    struct Click {
        Picture picture;
        int x, y;
        const char* object;  // "" for the background
        const char* link;    // "target|url" followed by a click there, "" for none
    };
    const char kGoldLink[] = "_blank|http://www.example.com/orbolanth/";
    const Picture orbitEarly = kPictures[0], orbitLate = kPictures[2], orbitWide = kPictures[3];
    const Picture gyroEarly = kPictures[4], gyroLate = kPictures[6], gyroWide = kPictures[7];
    const Picture cubesEarly = kPictures[8], cubesLate = kPictures[10], cubesWide = kPictures[11];
    const Click kClicks[] = {
        {orbitEarly, 80, 52, "planet", ""},
        {orbitEarly, 40, 80, "ring", ""},
        {orbitEarly, 130, 60, "moon", ""},
        {orbitEarly, 10, 10, "", ""},
        {orbitLate, 50, 44, "moon", ""},
        {orbitLate, 130, 60, "", ""},  // the moon has moved on
        {orbitWide, 160, 80, "planet", ""},
        {gyroEarly, 80, 52, "gem", ""},
        {gyroEarly, 28, 56, "outer", ""},
        {gyroEarly, 62, 20, "middle", ""},
        {gyroLate, 80, 56, "gem", ""},
        {gyroLate, 80, 100, "middle", ""},
        {gyroLate, 80, 44, "inner", ""},
        {gyroWide, 160, 90, "gem", ""},
        {cubesEarly, 40, 60, "red", ""},
        {cubesEarly, 130, 60, "blue", ""},
        {cubesEarly, 80, 42, "green", ""},
        {cubesEarly, 80, 64, "gold", kGoldLink},
        {cubesEarly, 80, 90, "pedestal", ""},
        {cubesEarly, 80, 10, "", ""},
        {cubesLate, 80, 60, "gold", kGoldLink},
        {cubesLate, 40, 52, "red", ""},
        {cubesLate, 120, 56, "blue", ""},
        {cubesWide, 160, 92, "gold", kGoldLink},
        {cubesWide, 100, 80, "red", ""},
    };
    for (const Click& click : kClicks) {
        SCOPED_TRACE(FileName(click.picture) + " at " + std::to_string(click.x) + "," + std::to_string(click.y));
        Drawn drawn(click.picture);
        EXPECT_EQ(drawn.applet.ObjectAt(drawn.view, click.x, click.y), click.object);
        drawn.applet.Session().PointerPressed(drawn.view, click.x, click.y);
        drawn.applet.Session().PointerReleased(drawn.view, click.x, click.y);
        std::vector<std::string> expected;
        if (*click.link)
            expected.push_back(click.link);
        EXPECT_EQ(drawn.applet.Navigations(), expected);
    }
}

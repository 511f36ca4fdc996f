// The reference-counted base: destruction at the last Release, also under contention.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "TestThread.h"
#include "base/RefCounted.h"

namespace {

volatile LONG destroyed = 0;

class Counted : public RefCounted {
public:
    Counted() { InterlockedExchange(&destroyed, 0); }
    ~Counted() override { InterlockedIncrement(&destroyed); }
};

TEST(RefCounted, OneReferenceReleasedOnceDestroysTheWholeObject)
{
    RefCounted* object = new Counted;
    EXPECT_EQ(object->RefCount(), 1);
    object->Release();  // through the base: the derived destructor must run
    EXPECT_EQ(destroyed, 1);
}

TEST(RefCounted, AddRefThenReleaseLeavesItAliveWithOneReference)
{
    Counted* object = new Counted;
    object->AddRef();
    EXPECT_EQ(object->RefCount(), 2);
    object->Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->RefCount(), 1);
    object->Release();
    EXPECT_EQ(destroyed, 1);
}

void RunOnFourThreads(const std::function<void()>& work)
{
    std::vector<std::unique_ptr<TestThread>> threads;
    for (int t = 0; t < 4; ++t) threads.push_back(std::make_unique<TestThread>(work));
    for (auto& thread : threads) thread->Join();
}

TEST(RefCounted, ConcurrentReferencesCountExactlyAndDestroyOnce)
{
    constexpr int kPerThread = 20000;
    Counted* object = new Counted;

    RunOnFourThreads([&] {
        for (int i = 0; i < kPerThread; ++i) object->AddRef();
    });
    EXPECT_EQ(object->RefCount(), 1 + 4 * kPerThread);

    RunOnFourThreads([&] {
        for (int i = 0; i < kPerThread; ++i) object->Release();
    });
    EXPECT_EQ(object->RefCount(), 1);
    EXPECT_EQ(destroyed, 0);

    // Each thread gets a reference of its own and lets go of it last; the test lets go of
    // its own first, so whichever thread finishes last destroys the object.
    for (int t = 0; t < 4; ++t) object->AddRef();
    object->Release();
    RunOnFourThreads([&] {
        for (int i = 0; i < kPerThread / 4; ++i) {
            object->AddRef();
            object->Release();
        }
        object->Release();
    });
    EXPECT_EQ(destroyed, 1);
}

}  // namespace

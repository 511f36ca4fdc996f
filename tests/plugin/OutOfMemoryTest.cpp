// NPP_New when memory runs out at any point of making an instance: the browser gets an
// error code and a null pdata, or a working instance, and never a C++ exception.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "PluginSession.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"

namespace {

// While armed, the allocation with this number (counting from 1) and every one after it fail.
long failFrom = 0;
long allocations = 0;

}  // namespace

void* operator new(std::size_t size)
{
    if (failFrom > 0 && ++allocations >= failFrom) throw std::bad_alloc();
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

TEST(OutOfMemory, EveryFailingAllocationGivesAnErrorOrAnInstance)
{
    Quirks() = BrowserQuirks{};
    PluginSession session(&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, 0x000B, "Mozilla/4.0");
    session.browser.Calls().reserve(1000);  // the test browser itself must not allocate
    const std::string longName(200, 'w');
    char* names[] = {const_cast<char*>("WindowName"), const_cast<char*>("Res:a-rather-long-resource-name"),
                     const_cast<char*>("GroupName")};
    char* values[] = {const_cast<char*>(longName.c_str()), const_cast<char*>("another-long-replacement.obv"),
                      const_cast<char*>("a-group-name-longer-than-sixteen")};

    int refused = 0, partial = 0;
    for (long k = 1;; ++k) {
        NPP_t npp{};
        npp.pdata = &npp;
        allocations = 0;
        failFrom = k;
        NPError result = NPERR_GENERIC_ERROR;
        bool threw = false;
        try {
            result = session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, 3, names, values, nullptr);
        } catch (...) {
            threw = true;
        }
        const bool failedInside = allocations >= k;
        failFrom = 0;
        ASSERT_FALSE(threw) << "allocation " << k;
        if (result == NPERR_OUT_OF_MEMORY_ERROR) {
            EXPECT_EQ(npp.pdata, nullptr) << "allocation " << k;
            ++refused;
            continue;
        }
        ASSERT_EQ(result, NPERR_NO_ERROR) << "allocation " << k;
        ASSERT_NE(npp.pdata, nullptr);
        auto* instance = static_cast<PluginInstance*>(npp.pdata);
        if (failedInside) {
            ++partial;  // the page's settings ran out of memory; the instance still works
        } else {
            EXPECT_EQ(instance->Settings().WindowName(), longName);
            EXPECT_EQ(instance->Settings().GroupName(), "a-group-name-longer-than-sixteen");
        }
        EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
        if (!failedInside) break;
    }
    EXPECT_GE(refused, 2);  // the instance and its stream manager at least
    EXPECT_GE(partial, 1);
}

}  // namespace

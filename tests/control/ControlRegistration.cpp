#include "ControlRegistration.h"

#include <windows.h>

namespace {

HRESULT CallExport(const char* name)
{
    const HMODULE library = LoadLibraryA(CONTROL_DLL);
    if (!library) return HRESULT_FROM_WIN32(GetLastError());
    const auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(library, name));
    const HRESULT result = entry ? entry() : E_NOTIMPL;
    FreeLibrary(library);
    return result;
}

}  // namespace

void RegisteredControl::SetUp()
{
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK) << CONTROL_DLL;
}

void RegisteredControl::TearDown()
{
    EXPECT_EQ(CallExport("DllUnregisterServer"), S_OK);
}

// Every test program of this area hosts the registered class.
static ::testing::Environment* const kRegistered = ::testing::AddGlobalTestEnvironment(new RegisteredControl);

// What registering writes, as the list and as the registry of the test prefix has it after
// DllRegisterServer, and what DllUnregisterServer leaves: others' MIME mappings and the
// administrator's kill bit stay.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

#include "ControlLibrary.h"
#include "base/UniqueHandle.h"
#include "control/ControlClassId.h"
#include "control/ControlRegistration.h"
#include "control/ControlRegistry.h"

namespace {

const std::string kClassKey = std::string("SOFTWARE\\Classes\\CLSID\\") + kControlClassIdText;
const std::string kMimeKey = std::string("SOFTWARE\\Classes\\MIME\\Database\\Content Type\\") + kControlMimeType;
const std::string kKillBitKey =
    std::string("SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\") + kControlClassIdText;
constexpr char kOtherClass[] = "{11111111-2222-3333-4444-555555555555}";

bool KeyExists(const std::string& path)
{
    RegistryKeyHandle key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | OwnRegistryView(), key.Receive()) ==
           ERROR_SUCCESS;
}

// The REG_SZ value, or "<none>".
std::string Text(const std::string& path, const char* name = "")
{
    RegistryKeyHandle key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | OwnRegistryView(), key.Receive()) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    char buffer[512] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "<none>";
    }
    return buffer;
}

void SetText(const std::string& path, const char* name, const std::string& text)
{
    RegistryKeyHandle key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | OwnRegistryView(),
                              nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

void DeleteKey(const std::string& path)
{
    const size_t cut = path.rfind('\\');
    RegistryKeyHandle parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | OwnRegistryView(),
                      parent.Receive()) == ERROR_SUCCESS) {
        RegDeleteKeyExA(parent.Get(), path.substr(cut + 1).c_str(), OwnRegistryView(), 0);
    }
}

TEST(RegistrationList, NamesTheLibraryApartmentAndOnlyTheSafeForInitialisingCategory)
{
    const ControlRegistration registration = RegistrationFor("C:\\Orbolanth\\OrbolanthControl.dll");
    std::string categories;
    bool server = false, apartment = false, control = false, preApproved = false;
    for (const RegistryValue& value : registration.values) {
        EXPECT_EQ(value.key.find("ActiveX Compatibility"), std::string::npos) << value.key;
        if (value.key.find("Implemented Categories\\") != std::string::npos) categories += value.key + ";";
        const bool ofServer = value.key == "Classes\\CLSID\\" + std::string(kControlClassIdText) + "\\InprocServer32";
        server |= ofServer && value.name.empty() && value.text == "C:\\Orbolanth\\OrbolanthControl.dll";
        apartment |= ofServer && value.name == "ThreadingModel" && value.text == "Apartment";
        control |= value.key.size() > 8 && value.key.compare(value.key.size() - 8, 8, "\\Control") == 0;
        preApproved |= value.key.find("Ext\\PreApproved\\" + std::string(kControlClassIdText)) != std::string::npos;
    }
    EXPECT_TRUE(server && apartment && control && preApproved);
    EXPECT_NE(categories.find("{7DD95802-9882-11CF-9FA9-00AA006C42C4}"), std::string::npos);
    EXPECT_EQ(categories.find("{7DD95801-"), std::string::npos) << "safe for scripting without a scripting interface";
    EXPECT_EQ(categories.find("{59FB2056-"), std::string::npos) << "AppContainer not claimed";
    for (const std::string& tree : registration.ownedTrees) {
        EXPECT_EQ(tree.find("MIME"), std::string::npos) << "the content type's key is shared";
        EXPECT_EQ(tree.find("ActiveX Compatibility"), std::string::npos);
    }
}

TEST(RegistrationList, TheMimeTypeIsClaimedOnlyWhereNobodyElseHasIt)
{
    const std::string ours = kControlClassIdText;
    std::string lower = ours;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(MayClaimMimeType(false, ""));
    EXPECT_TRUE(MayClaimMimeType(true, ""));
    EXPECT_TRUE(MayClaimMimeType(true, lower));
    EXPECT_FALSE(MayClaimMimeType(true, kOtherClass));
    EXPECT_FALSE(MayReleaseMimeType(false, ""));
    EXPECT_FALSE(MayReleaseMimeType(true, kOtherClass));
    EXPECT_TRUE(MayReleaseMimeType(true, lower));
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Loaded());
        library.Unregister();
        DeleteKey(kMimeKey);
        DeleteKey(kKillBitKey);
    }
    void TearDown() override
    {
        DeleteKey(kMimeKey);
        DeleteKey(kKillBitKey);
    }

    ControlLibrary library;
};

TEST_F(RegistryTest, RegisterWritesTheClassInItsViewAndUnregisterTakesExactlyThatAway)
{
    SetText(kKillBitKey, "Compatibility Flags", "1024");
    ASSERT_EQ(library.Register(), S_OK);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("OrbolanthControl.dll"), path, MAX_PATH);
    EXPECT_EQ(Text(kClassKey + "\\InprocServer32"), path);
    EXPECT_EQ(Text(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Text(kClassKey), kControlDisplayName);
    EXPECT_TRUE(KeyExists(kClassKey + "\\Control"));
    EXPECT_EQ(Text(kClassKey + "\\MiscStatus\\1"), std::to_string(kControlMiscStatus));
    EXPECT_EQ(Text(kClassKey + "\\ProgID"), kControlProgId);
    EXPECT_EQ(Text(kClassKey + "\\VersionIndependentProgID"), kControlVersionIndependentProgId);
    EXPECT_TRUE(KeyExists(kClassKey + "\\EnableFullPage\\.obvm"));
    EXPECT_TRUE(KeyExists(kClassKey + "\\EnableFullPage\\.obv"));
    EXPECT_EQ(Text(std::string("SOFTWARE\\Classes\\") + kControlProgId + "\\CLSID"), kControlClassIdText);
    EXPECT_EQ(Text(std::string("SOFTWARE\\Classes\\") + kControlVersionIndependentProgId + "\\CurVer"), kControlProgId);
    EXPECT_EQ(Text(kMimeKey, "CLSID"), kControlClassIdText);
    const std::string preApproved =
        std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\") + kControlClassIdText;
    EXPECT_TRUE(KeyExists(preApproved));
    // The class is found by its ProgID as a page's script or a container would.
    CLSID found{};
    CoInitialize(nullptr);
    EXPECT_EQ(CLSIDFromProgID(L"Orbolanth.AppletControl.1", &found), S_OK);
    EXPECT_TRUE(IsEqualCLSID(found, CLSID_OrbolanthControl));
    CoUninitialize();

    ASSERT_EQ(library.Unregister(), S_OK);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(std::string("SOFTWARE\\Classes\\") + kControlProgId));
    EXPECT_FALSE(KeyExists(std::string("SOFTWARE\\Classes\\") + kControlVersionIndependentProgId));
    EXPECT_FALSE(KeyExists(preApproved));
    EXPECT_EQ(Text(kMimeKey, "CLSID"), "<none>");
    EXPECT_EQ(Text(kKillBitKey, "Compatibility Flags"), "1024");
    // A second time finds nothing to take and still succeeds.
    EXPECT_EQ(library.Unregister(), S_OK);
}

TEST_F(RegistryTest, AMimeTypeOfAnotherClassIsKeptThroughRegisterAndUnregister)
{
    SetText(kMimeKey, "CLSID", kOtherClass);
    SetText(kMimeKey, "Extension", ".obvm");
    EXPECT_EQ(library.Register(), S_OK);
    EXPECT_EQ(Text(kMimeKey, "CLSID"), kOtherClass);
    EXPECT_TRUE(KeyExists(kClassKey + "\\InprocServer32"));
    EXPECT_EQ(library.Unregister(), S_OK);
    EXPECT_EQ(Text(kMimeKey, "CLSID"), kOtherClass);
    EXPECT_EQ(Text(kMimeKey, "Extension"), ".obvm");
}

TEST_F(RegistryTest, OurMimeValueGoesButOthersValuesInItsKeyStay)
{
    SetText(kMimeKey, "Extension", ".obvm");
    ASSERT_EQ(library.Register(), S_OK);
    EXPECT_EQ(Text(kMimeKey, "CLSID"), kControlClassIdText);
    ASSERT_EQ(library.Unregister(), S_OK);
    EXPECT_EQ(Text(kMimeKey, "CLSID"), "<none>");
    EXPECT_EQ(Text(kMimeKey, "Extension"), ".obvm");
}

}  // namespace

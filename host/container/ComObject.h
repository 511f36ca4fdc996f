// Reference counting for the container's own COM objects. Each lives on the window's thread
// (an apartment-threaded container), so the count needs no interlocking.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>

class RefCounted {
public:
    ULONG AddReference() { return ++references_; }
    ULONG ReleaseReference();

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    ULONG references_ = 1;  // the creator's
};

// The three IUnknown methods of a class that derives from RefCounted, answering its
// interfaces through its own `Find(REFIID)`.
#define ORB_CONTAINER_UNKNOWN                                                   \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override  \
    {                                                                           \
        if (!out) return E_POINTER;                                             \
        *out = Find(iid);                                                       \
        if (!*out) return E_NOINTERFACE;                                        \
        AddReference();                                                         \
        return S_OK;                                                            \
    }                                                                           \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }        \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

// An HRESULT as the call log writes it.
std::string HresultText(HRESULT result);
// Text of a COM string in the ANSI code page; "(null)" handling is the log's.
std::string Narrow(const wchar_t* text);
std::wstring Widen(const std::string& text);

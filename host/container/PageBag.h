// A page element's parameters as the property bag a browser hands to
// IPersistPropertyBag::Load: text converted to the type asked for, names matched ignoring
// case. It lists its names (IPropertyBag2) only when the container is told to.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "CallLog.h"
#include "ComObject.h"
#include "EmbedParser.h"

class PageBag : public IPropertyBag2, public IPropertyBag, private RefCounted {
public:
    // `log` outlives the bag; `instance` numbers its lines.
    PageBag(std::vector<EmbedAttribute> properties, bool listing, CallLog& log, int instance);

    ORB_CONTAINER_UNKNOWN

    // IPropertyBag
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* errors) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;
    // IPropertyBag2
    HRESULT STDMETHODCALLTYPE Read(ULONG count, PROPBAG2* which, IErrorLog* errors, VARIANT* values,
                                   HRESULT* results) override;
    HRESULT STDMETHODCALLTYPE Write(ULONG count, PROPBAG2* which, VARIANT* values) override;
    HRESULT STDMETHODCALLTYPE CountProperties(ULONG* count) override;
    HRESULT STDMETHODCALLTYPE GetPropertyInfo(ULONG first, ULONG count, PROPBAG2* infos, ULONG* given) override;
    HRESULT STDMETHODCALLTYPE LoadObject(LPCOLESTR name, DWORD hint, IUnknown* object, IErrorLog* errors) override;

private:
    std::vector<EmbedAttribute> properties_;
    bool listing_;
    CallLog& log_;
    int instance_;

    void* Find(REFIID iid);
    HRESULT ReadOne(const wchar_t* name, VARIANT& value, const char* call);
};

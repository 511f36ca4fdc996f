#include "PageBag.h"

#include "base/AsciiCase.h"

PageBag::PageBag(std::vector<EmbedAttribute> properties, bool listing, CallLog& log, int instance)
    : properties_(std::move(properties)), listing_(listing), log_(log), instance_(instance)
{
}

void* PageBag::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) return static_cast<IPropertyBag*>(this);
    if (listing_ && iid == IID_IPropertyBag2) return static_cast<IPropertyBag2*>(this);
    return nullptr;
}

HRESULT PageBag::ReadOne(const wchar_t* name, VARIANT& value, const char* call)
{
    const std::string wanted = Narrow(name);
    const VARTYPE type = V_VT(&value);
    HRESULT result = E_INVALIDARG;  // what a browser's bag answers for a name it does not have
    for (const EmbedAttribute& property : properties_) {
        if (!EqualsIgnoringCase(property.name, wanted)) continue;
        VARIANT text;
        VariantInit(&text);
        V_VT(&text) = VT_BSTR;
        V_BSTR(&text) = SysAllocString(Widen(property.value).c_str());
        VariantInit(&value);
        result = type == VT_EMPTY || type == VT_BSTR ? VariantCopy(&value, &text)
                                                     : VariantChangeType(&value, &text, 0, type);
        VariantClear(&text);
        break;
    }
    log_.Line(std::string("< ") + call + " inst=" + std::to_string(instance_) + " name=" + CallLog::Quote(wanted) +
              " type=" + std::to_string(type) + " -> " + HresultText(result));
    return result;
}

HRESULT PageBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*)
{
    if (!name || !value) return E_POINTER;
    return ReadOne(name, *value, "IPropertyBag::Read");
}

HRESULT PageBag::Write(LPCOLESTR, VARIANT*)
{
    return E_NOTIMPL;  // a page's parameters are the page's
}

HRESULT PageBag::Read(ULONG count, PROPBAG2* which, IErrorLog*, VARIANT* values, HRESULT* results)
{
    if (!which || !values) return E_POINTER;
    HRESULT all = S_OK;
    for (ULONG i = 0; i < count; ++i) {
        V_VT(&values[i]) = which[i].vt;
        const HRESULT one = ReadOne(which[i].pstrName, values[i], "IPropertyBag2::Read");
        if (results) results[i] = one;
        if (FAILED(one)) all = E_FAIL;
    }
    return all;
}

HRESULT PageBag::Write(ULONG, PROPBAG2*, VARIANT*)
{
    return E_NOTIMPL;
}

HRESULT PageBag::CountProperties(ULONG* count)
{
    if (!count) return E_POINTER;
    *count = static_cast<ULONG>(properties_.size());
    log_.Line("< IPropertyBag2::CountProperties inst=" + std::to_string(instance_) + " count=" +
              std::to_string(*count) + " -> 0x00000000");
    return S_OK;
}

HRESULT PageBag::GetPropertyInfo(ULONG first, ULONG count, PROPBAG2* infos, ULONG* given)
{
    if (!infos || !given) return E_POINTER;
    *given = 0;
    if (first >= properties_.size()) return E_INVALIDARG;
    for (ULONG i = first; i < properties_.size() && *given < count; ++i, ++*given) {
        const std::wstring name = Widen(properties_[i].name);
        PROPBAG2& info = infos[*given];
        ZeroMemory(&info, sizeof info);
        info.dwType = PROPBAG2_TYPE_DATA;
        info.vt = VT_BSTR;
        const size_t bytes = (name.size() + 1) * sizeof(wchar_t);
        info.pstrName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!info.pstrName) return E_OUTOFMEMORY;
        CopyMemory(info.pstrName, name.c_str(), bytes);
    }
    return S_OK;
}

HRESULT PageBag::LoadObject(LPCOLESTR, DWORD, IUnknown*, IErrorLog*)
{
    return E_NOTIMPL;
}

#include "control/PropertyBagReader.h"

#include <oleauto.h>

#include <vector>

#include "control/ComRef.h"
#include "control/TextConversion.h"

namespace {

// A value the bag holds, as text; false when it has none or it is no text.
bool TextOf(VARIANT& value, std::string& text)
{
    if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, 0, VT_BSTR))) return false;
    text = AnsiFromWide(value.bstrVal ? value.bstrVal : L"");
    return true;
}

bool ReadOne(IPropertyBag* bag, IErrorLog* errorLog, const std::string& name, std::string& text)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    const std::wstring wideName = WideFromAnsi(name);
    bool found = SUCCEEDED(bag->Read(wideName.c_str(), &value, errorLog)) && TextOf(value, text);
    if (!found) {
        // Some bags convert only to the type asked for, and refuse VT_BSTR for an empty value.
        VariantClear(&value);
        found = SUCCEEDED(bag->Read(wideName.c_str(), &value, errorLog)) && TextOf(value, text);
    }
    VariantClear(&value);
    return found;
}

bool ReadListed(IPropertyBag2* bag, IErrorLog* errorLog, ParameterPairs& pairs)
{
    ULONG count = 0;
    if (FAILED(bag->CountProperties(&count))) return false;
    for (ULONG i = 0; i < count; ++i) {
        PROPBAG2 property{};
        ULONG got = 0;
        if (FAILED(bag->GetPropertyInfo(i, 1, &property, &got)) || got != 1) continue;
        VARIANT value;
        VariantInit(&value);
        HRESULT readResult = S_OK;
        std::string text;
        if (property.pstrName && SUCCEEDED(bag->Read(1, &property, errorLog, &value, &readResult)) &&
            SUCCEEDED(readResult) && TextOf(value, text)) {
            pairs.emplace_back(AnsiFromWide(property.pstrName), text);
        }
        VariantClear(&value);
        CoTaskMemFree(property.pstrName);
    }
    return true;
}

}  // namespace

ParameterPairs ReadPropertyBag(IPropertyBag* bag, IErrorLog* errorLog)
{
    ParameterPairs pairs;
    if (!bag) return pairs;
    ComRef<IPropertyBag2> listing = QueryAs<IPropertyBag2>(bag, IID_IPropertyBag2);
    if (!listing || !ReadListed(listing.Get(), errorLog, pairs)) {
        pairs = ReadKnownParameters(
            [&](const std::string& name, std::string& text) { return ReadOne(bag, errorLog, name, text); });
    }
    return WithAppletFromData(std::move(pairs));
}

#include "PageControls.h"

#include <cstdlib>
#include <utility>

#include "UrlResolution.h"
#include "base/AsciiCase.h"

namespace {

void ReadSize(const Embed& tag, PageControl& control)
{
    for (auto [name, side] : {std::pair{"width", &control.width}, std::pair{"height", &control.height}}) {
        const std::string* value = tag.Find(name);
        const long pixels = value ? std::strtol(value->c_str(), nullptr, 10) : 0;
        if (pixels > 0 && pixels <= 16384) *side = static_cast<int>(pixels);
    }
}

std::string Extension(const std::string* url)
{
    if (!url) return "";
    const std::string name = UrlFileName(*url);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : AsciiLowerCase(name.substr(dot));
}

}  // namespace

std::vector<PageControl> ReadPageControls(const std::string& html)
{
    std::vector<PageControl> controls;
    for (const Embed& embed : ParseEmbeds(html)) {
        PageControl control;
        control.properties = embed.attributes;
        if (const std::string* type = embed.Find("type")) control.type = *type;
        control.extension = Extension(embed.Find("src"));
        ReadSize(embed, control);
        controls.push_back(control);
    }
    for (const ObjectElement& object : ParseObjects(html)) {
        PageControl control;
        control.isObject = true;
        const std::string* classId = object.tag.Find("classid");
        if (classId && StartsWithIgnoringCase(*classId, "clsid:")) {
            const std::string bare = classId->substr(6);
            control.classId = bare.empty() || bare[0] == '{' ? bare : "{" + bare + "}";
        }
        if (const std::string* type = object.tag.Find("type")) control.type = *type;
        const std::string* data = object.tag.Find("data");
        control.extension = Extension(data);
        control.properties = object.params;
        bool named = false;
        for (const EmbedAttribute& param : object.params) named = named || EqualsIgnoringCase(param.name, "data");
        if (data && !named) control.properties.push_back({"data", *data});
        ReadSize(object.tag, control);
        controls.push_back(control);
    }
    return controls;
}

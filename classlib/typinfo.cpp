#include "classlib/typinfo.h"

#include "classlib/controls.h"
#include "classlib/sysutils.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <typeindex>

namespace {

struct TPublishedClass {
    std::type_index Parent;
    std::function<bool(const TObject*)> IsInstance;
    std::vector<TPropInfo> Properties;
    int Depth = -1; // distance from TObject, worked out on first use
};

struct TRegistry {
    std::mutex Lock;
    std::map<std::type_index, TPublishedClass> Classes;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

int DepthOf(TRegistry& r, TPublishedClass& c, int guard = 0) {
    if (c.Depth >= 0) return c.Depth;
    auto parent = r.Classes.find(c.Parent);
    // An unregistered parent (TObject) is the root.
    c.Depth =
        (parent == r.Classes.end() || guard > 64) ? 1 : DepthOf(r, parent->second, guard + 1) + 1;
    return c.Depth;
}

TPropInfo& Checked(const TPropInfo* p, const std::string& name, TPropKind kind) {
    bool text = kind == TPropKind::String;
    if (!p || (text ? (p->Kind != TPropKind::String && p->Kind != TPropKind::WideString)
                    : p->Kind != kind))
        throw EPropertyError("Property " + name + " does not exist");
    return const_cast<TPropInfo&>(*p);
}

// The classes of the core that publish texts.
struct TCoreRegistration {
    TCoreRegistration() {
        RegisterPublished<TComponent, TObject>(
            {TextProp(
                 "Name", "TComponentName",
                 [](TObject* o) { return static_cast<TComponent*>(o)->Name(); },
                 [](TObject* o, const std::string& v) { static_cast<TComponent*>(o)->SetName(v); }),
             ValueProp("Tag", "Integer",
                       [](TObject* o) { return IntToStr(static_cast<TComponent*>(o)->Tag); })});
        RegisterPublished<TControl, TComponent>(
            {TextProp(
                 "Caption", "TCaption",
                 [](TObject* o) { return static_cast<TControl*>(o)->Caption(); },
                 [](TObject* o, const std::string& v) {
                     static_cast<TControl*>(o)->SetCaption(v);
                 }),
             TextProp(
                 "Hint", "string", [](TObject* o) { return static_cast<TControl*>(o)->Hint; },
                 [](TObject* o, const std::string& v) { static_cast<TControl*>(o)->Hint = v; })});
    }
} g_coreRegistration;

} // namespace

bool TPropInfo::HasReader() const {
    switch (Kind) {
    case TPropKind::String:
    case TPropKind::WideString:
        return bool(GetText);
    case TPropKind::Strings:
        return bool(GetStrings);
    case TPropKind::Collection:
        return ItemCount && GetItem;
    case TPropKind::Object:
        return bool(GetObject);
    case TPropKind::Other:
        return bool(GetText);
    }
    return false;
}

bool TPropInfo::HasWriter() const {
    switch (Kind) {
    case TPropKind::String:
    case TPropKind::WideString:
        return bool(SetText);
    // Lists and collections are changed in place through their reader.
    case TPropKind::Strings:
        return bool(GetStrings);
    case TPropKind::Collection:
        return ItemCount && GetItem;
    case TPropKind::Object:
    case TPropKind::Other:
        return false;
    }
    return false;
}

void RegisterPublishedProperties(const std::type_info& Class, const std::type_info& Parent,
                                 std::function<bool(const TObject*)> IsInstance,
                                 std::vector<TPropInfo> Properties) {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    r.Classes.insert_or_assign(
        std::type_index(Class),
        TPublishedClass{std::type_index(Parent), std::move(IsInstance), std::move(Properties), -1});
    for (auto& [type, c] : r.Classes)
        c.Depth = -1;
}

std::vector<const TPropInfo*> GetPropList(const TObject* Instance) {
    std::vector<const TPropInfo*> out;
    if (!Instance) return out;
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    // The most derived registration of each name wins.
    std::vector<std::pair<int, const TPropInfo*>> found;
    for (auto& [type, c] : r.Classes) {
        if (!c.IsInstance(Instance)) continue;
        int depth = DepthOf(r, c);
        for (const TPropInfo& p : c.Properties) {
            auto same = std::find_if(found.begin(), found.end(), [&](const auto& f) {
                return SameText(f.second->Name, p.Name);
            });
            if (same == found.end())
                found.emplace_back(depth, &p);
            else if (depth > same->first)
                *same = {depth, &p};
        }
    }
    for (auto& f : found)
        out.push_back(f.second);
    std::stable_sort(out.begin(), out.end(), [](const TPropInfo* a, const TPropInfo* b) {
        return CompareText(a->Name, b->Name) < 0;
    });
    return out;
}

const TPropInfo* GetPropInfo(const TObject* Instance, const std::string& PropName) {
    for (const TPropInfo* p : GetPropList(Instance))
        if (SameText(p->Name, PropName)) return p;
    return nullptr;
}

TPropInfo TextProp(std::string Name, std::string TypeName, std::function<std::string(TObject*)> Get,
                   std::function<void(TObject*, const std::string&)> Set) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.TypeName = std::move(TypeName);
    p.Kind = TPropKind::String;
    p.GetText = std::move(Get);
    p.SetText = std::move(Set);
    return p;
}

TPropInfo WideTextProp(std::string Name, std::function<std::string(TObject*)> Get,
                       std::function<void(TObject*, const std::string&)> Set) {
    TPropInfo p = TextProp(std::move(Name), "WideString", std::move(Get), std::move(Set));
    p.Kind = TPropKind::WideString;
    return p;
}

TPropInfo StringsProp(std::string Name, std::function<TStrings*(TObject*)> Get) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.TypeName = "TStrings";
    p.Kind = TPropKind::Strings;
    p.GetStrings = std::move(Get);
    return p;
}

TPropInfo CollectionProp(std::string Name, std::string TypeName, std::function<int(TObject*)> Count,
                         std::function<TObject*(TObject*, int)> Item) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.TypeName = std::move(TypeName);
    p.Kind = TPropKind::Collection;
    p.ItemCount = std::move(Count);
    p.GetItem = std::move(Item);
    return p;
}

TPropInfo ObjectProp(std::string Name, std::string TypeName,
                     std::function<TObject*(TObject*)> Get) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.TypeName = std::move(TypeName);
    p.Kind = TPropKind::Object;
    p.GetObject = std::move(Get);
    return p;
}

TPropInfo ValueProp(std::string Name, std::string TypeName,
                    std::function<std::string(TObject*)> Get) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.TypeName = std::move(TypeName);
    p.Kind = TPropKind::Other;
    p.GetText = std::move(Get);
    return p;
}

std::string GetStrProp(TObject* Instance, const std::string& PropName) {
    TPropInfo& p = Checked(GetPropInfo(Instance, PropName), PropName, TPropKind::String);
    if (!p.GetText) throw EPropertyError("Property " + PropName + " cannot be read");
    return p.GetText(Instance);
}

void SetStrProp(TObject* Instance, const std::string& PropName, const std::string& Value) {
    TPropInfo& p = Checked(GetPropInfo(Instance, PropName), PropName, TPropKind::String);
    if (!p.SetText) throw EPropertyError("Property " + PropName + " is read-only");
    p.SetText(Instance, Value);
}

TObject* GetObjectProp(TObject* Instance, const std::string& PropName) {
    TPropInfo& p = Checked(GetPropInfo(Instance, PropName), PropName, TPropKind::Object);
    return p.GetObject(Instance);
}

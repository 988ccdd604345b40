// Published properties by name. Each component class registers the
// properties it publishes (texts, wide texts, lists of lines, collections and
// object references) with accessors, so that code can walk a component's
// properties by name without knowing its class: form translation reads and
// writes the texts of every component this way.
#pragma once

#include "classlib/classes.h"

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

class TStrings;

enum class TPropKind {
    String,     // narrow text
    WideString, // wide text (read and written here as UTF-8)
    Strings,    // a list of lines (type "TStrings")
    Collection, // a list of items with properties of their own
    Object,     // a reference to another object ("Action" and the like)
    Other,      // anything else: numbers, sets, events; readable as text when it has GetText
};

struct TPropInfo {
    std::string Name;
    std::string TypeName; // "string", "TCaption", "WideString", "TStrings", "TComponentName" ...
    TPropKind Kind = TPropKind::Other;

    // Texts (String, WideString), and the text form of any other value
    // (Other). A property without a setter is read-only.
    std::function<std::string(TObject*)> GetText;
    std::function<void(TObject*, const std::string&)> SetText;
    // Lists of lines: the object's own list, changed in place.
    std::function<TStrings*(TObject*)> GetStrings;
    // Collections: the number of items and the item at an index.
    std::function<int(TObject*)> ItemCount;
    std::function<TObject*(TObject*, int)> GetItem;
    // Object references.
    std::function<TObject*(TObject*)> GetObject;

    bool HasReader() const;
    bool HasWriter() const;
};

// Registers the properties a class publishes beside those of its parent.
// Parent is TObject (or any class registered itself); a property of the same
// name registered by a descendant hides the parent's.
void RegisterPublishedProperties(const std::type_info& Class, const std::type_info& Parent,
                                 std::function<bool(const TObject*)> IsInstance,
                                 std::vector<TPropInfo> Properties);
template <class T, class Parent> void RegisterPublished(std::vector<TPropInfo> Properties) {
    RegisterPublishedProperties(
        typeid(T), typeid(Parent),
        [](const TObject* o) { return dynamic_cast<const T*>(o) != nullptr; },
        std::move(Properties));
}

// The published properties of an object, ordered by name without regard to
// case (the order translation visits them in).
std::vector<const TPropInfo*> GetPropList(const TObject* Instance);
// The property of that name (without regard to case), null when none.
const TPropInfo* GetPropInfo(const TObject* Instance, const std::string& PropName);

// Helpers for building registrations.
TPropInfo TextProp(std::string Name, std::string TypeName, std::function<std::string(TObject*)> Get,
                   std::function<void(TObject*, const std::string&)> Set);
TPropInfo WideTextProp(std::string Name, std::function<std::string(TObject*)> Get,
                       std::function<void(TObject*, const std::string&)> Set);
TPropInfo StringsProp(std::string Name, std::function<TStrings*(TObject*)> Get);
TPropInfo CollectionProp(std::string Name, std::string TypeName, std::function<int(TObject*)> Count,
                         std::function<TObject*(TObject*, int)> Item);
TPropInfo ObjectProp(std::string Name, std::string TypeName, std::function<TObject*(TObject*)> Get);
// A value that is not text (a number, a set), read as its text form.
TPropInfo ValueProp(std::string Name, std::string TypeName,
                    std::function<std::string(TObject*)> Get);

// Typed access by name. EPropertyError when the property is missing or of
// another kind.
LANTROVE_EXCEPTION(EPropertyError, Exception);
std::string GetStrProp(TObject* Instance, const std::string& PropName);
void SetStrProp(TObject* Instance, const std::string& PropName, const std::string& Value);
TObject* GetObjectProp(TObject* Instance, const std::string& PropName);

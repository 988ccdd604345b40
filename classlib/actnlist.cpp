#include "classlib/actnlist.h"

#include "classlib/typinfo.h"

namespace {

struct TActionRegistration {
    TActionRegistration() {
        auto action = [](TObject* o) { return static_cast<TAction*>(o); };
        RegisterPublished<TAction, TComponent>(
            {TextProp(
                 "Caption", "TCaption", [=](TObject* o) { return action(o)->Caption; },
                 [=](TObject* o, const std::string& v) { action(o)->Caption = v; }),
             TextProp(
                 "Category", "string", [=](TObject* o) { return action(o)->Category; },
                 [=](TObject* o, const std::string& v) { action(o)->Category = v; }),
             TextProp(
                 "Hint", "string", [=](TObject* o) { return action(o)->Hint; },
                 [=](TObject* o, const std::string& v) { action(o)->Hint = v; })});
    }
} g_actionRegistration;

} // namespace

bool TBasicAction::Execute() {
    if (!OnExecute) return false;
    OnExecute(this);
    return true;
}

bool TAction::Execute() {
    if (!Enabled) return false;
    return TBasicAction::Execute();
}

int TActionList::ActionCount() const {
    int n = 0;
    for (int i = 0; i < ComponentCount(); ++i)
        if (dynamic_cast<TBasicAction*>(Components(i))) ++n;
    return n;
}

TBasicAction* TActionList::Actions(int Index) const {
    int left = Index;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* a = dynamic_cast<TBasicAction*>(Components(i)))
            if (left-- == 0) return a;
    throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
}

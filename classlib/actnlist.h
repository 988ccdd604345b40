// Actions: named commands that menu items and buttons run, with the texts
// and the checked state they show.
#pragma once

#include "classlib/classes.h"

#include <string>

class TBasicAction : public TComponent {
public:
    explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}
    // Raises OnExecute; false when nothing handles the action.
    virtual bool Execute();

    TNotifyEvent OnExecute;
};

class TAction : public TBasicAction {
public:
    explicit TAction(TComponent* AOwner) : TBasicAction(AOwner) {}

    std::string Caption;
    std::string Hint;
    std::string Category;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    // Execute does nothing while the action is disabled.
    bool Execute() override;
};

// Holds actions; each action it owns is one of its components.
class TActionList : public TComponent {
public:
    explicit TActionList(TComponent* AOwner) : TComponent(AOwner) {}
    int ActionCount() const;
    TBasicAction* Actions(int Index) const;
};

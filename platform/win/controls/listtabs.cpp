#include "platform/win/controls/listtabs.h"

#include "platform/win/controls/header.h"
#include "platform/win/controls/listview.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"

void RegisterListAndTabControls() {
    RegisterHeaderClass();
    RegisterListViewClass();
    RegisterUpDownClass();
    RegisterTabControlClass();
}

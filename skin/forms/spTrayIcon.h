// The tray icon: an icon in the notification area whose clicks become
// component events; opens a skinned popup menu, cycles icons, shows balloon
// texts and hides the main form in the tray.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "classlib/classes.h"
#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/timer.h"
#include "platform/win/shellnotify.h"

class TspSkinPopupMenu;

enum TspBalloonHintIcon { spbitNone, spbitInfo, spbitWarning, spbitError };
using TCycleEvent = std::function<void(TObject* Sender, int NextIndex)>;

// The callback message of the icon.
constexpr UINT WM_TRAYNOTIFY = 0x800;

class TspTrayIcon : public TComponent {
public:
    explicit TspTrayIcon(TComponent* AOwner);
    ~TspTrayIcon() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // ---- Properties
    bool DesignPreview() const { return FDesignPreview; }
    void SetDesignPreview(bool Value);
    TImageList* IconList() const { return FIconList; }
    void SetIconList(TImageList* Value);
    bool CycleIcons() const { return FCycleIcons; }
    void SetCycleIcons(bool Value);
    unsigned AnimateTimerInterval() const { return FAnimateTimerInterval; }
    void SetAnimateTimerInterval(unsigned Value);
    bool Enabled = true;
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    TIcon* Icon() { return FIcon.get(); }
    void SetIcon(TIcon* Value);
    bool IconVisible() const { return FIconVisible; }
    void SetIconVisible(bool Value);
    int IconIndex() const { return FIconIndex; }
    void SetIconIndex(int Value);
    TspSkinPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TspSkinPopupMenu* Value);
    bool PopupByLeftButton = false;
    bool MinimizedOnStart = false;
    bool MinimizeToTray = false;

    TNotifyEvent OnClick, OnDblClick, OnBalloonHintClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TCycleEvent OnCycle;

    // ---- Operations
    virtual bool UseApplicationIcon() { return true; }
    virtual bool AddIcon();
    virtual bool RemoveIcon();
    virtual bool ModifyIcon();
    bool Refresh() { return ModifyIcon(); }
    void ShowMainForm();
    void HideMainForm();
    bool ShowBalloonHint(const std::string& Title, const std::string& Text,
                         TspBalloonHintIcon IconType);
    bool HideBalloonHint();
    static bool BitmapToIcon(TBitmap* Bitmap, TIcon* Icon, TColor MaskColor);
    void DoMinimizeToTray();
    HWND CallbackWindow() const { return FCallbackWnd; }

    // The icon record as it was last handed to the notification area.
    NOTIFYICONDATAW IconData;

protected:
    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoCycle(int NextIndex);
    virtual void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseMove(TShiftState Shift, int X, int Y);

private:
    bool InitIconData();
    void HandleIconMessage(TMessage& Msg);
    void ClickTimerProc();
    void CycleTimerProc();
    void PopupAtCursor();
    void CopyListIcon(int Index);
    bool ApplicationWndProc(TMessage& Msg);
    void OwnerWndProc(TMessage& Msg);
    TWinControl* OwnerControl() const;

    bool FDesignPreview = false;
    TImageList* FIconList = nullptr;
    bool FCycleIcons = false;
    unsigned FAnimateTimerInterval = 0;
    std::string FHint;
    bool FShowHint = true;
    std::unique_ptr<TIcon> FIcon;
    bool FIconVisible = true;
    int FIconIndex = 0;
    TspSkinPopupMenu* FPopupMenu = nullptr;

    bool FClickStart = false, FClickReady = false, IsDblClick = false;
    std::unique_ptr<TTimer> AnimateTimer, ClickTimer;
    bool SettingPreview = false;
    bool SettingMDIForm = true;
    HWND FCallbackWnd = 0;
    int FAppHookId = 0;
    std::shared_ptr<bool> FOwnerAlive;
    UINT FTaskbarCreated = 0;
};

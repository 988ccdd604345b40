#include "browser/WbControlComponent.h"

#include "browser/WbFocusControl.h"
#include "browser/WbLazyLibs.h"

TMouseWheelFix::~TMouseWheelFix() {
    if (FHook) {
        FHook->Deactivate();
        TWBMouseHook::Release();
    }
}

void TMouseWheelFix::SetActive(bool Value) {
    FActive = Value;
    if (FDesigning) return;
    if (Value) {
        if (!FHook) {
            FHook = TWBMouseHook::Acquire();
            FHook->OnMouseWheel = OnMouseWheel;
            FHook->ActiveFormOnly = FActiveFormOnly;
            FHook->Activate();
        }
    } else if (FHook) {
        FHook->Deactivate();
        TWBMouseHook::Release();
        FHook = nullptr;
    }
}

void TMouseWheelFix::SetActiveFormOnly(bool Value) {
    FActiveFormOnly = Value;
    if (FHook) FHook->ActiveFormOnly = Value;
}

void TFocusControl::SetActive(bool Value) {
    FActive = Value;
    if (!FDesigning) TWBFocusControl::Activate(Value);
}

TWbControl::TWbControl(TComponent* AOwner) : TComponent(AOwner) {
    FDesigning = HasState(csDesigning);
    FMouseWheelFix = std::make_unique<TMouseWheelFix>(FDesigning);
    FFocusControl = std::make_unique<TFocusControl>(FDesigning);
    if (FDesigning)
        for (int f = 0; f <= int(EntryCount); ++f)
            if (FeatureQuery(f, 2) == S_OK) FInternetFeatures.insert(TInternetFeatureList(f));
}

TWbControl::~TWbControl() {
    if (!FDesigning) {
        FMouseWheelFix->SetActive(false);
        FMouseWheelFix.reset();
        FFocusControl->SetActive(false);
        FFocusControl.reset();
    }
}

void TWbControl::Loaded() {
    TComponent::Loaded();
    FMouseWheelFix->OnMouseWheel = OnMouseWheel;
    if (FMouseWheelFix->Hook()) FMouseWheelFix->Hook()->OnMouseWheel = OnMouseWheel;
}

void TWbControl::SetInternetFeatures(const TInternetFeatures& Value) {
    FInternetFeatures = Value;
    if (Value.empty()) return;
    for (int f = 0; f <= int(EntryCount); ++f)
        FeatureSwitch(f, 2, Value.count(TInternetFeatureList(f)) != 0);
}

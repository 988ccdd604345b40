// The global component that owns the process-wide wheel and focus repairs
// and switches page features for the process.
#pragma once

#include "browser/WbMouseHook.h"
#include "classlib/classes.h"

#include <memory>
#include <set>

enum TInternetFeatureList {
    ObjectCaching,
    ZoneElevation,
    MimeHandling,
    MimeSniffing,
    WindowRestrictions,
    WebocPopupManagement,
    Behaviors,
    DisableMkProtocol,
    LocalMachineLockDown,
    Securityband,
    RestrictActivexInstall,
    ValidateNavigateUrl,
    RestrictFileDownload,
    AddonManagement,
    ProtocolLockdown,
    HttpUsernamePasswordDisable,
    SafeBindToObject,
    UncSavedFileCheck,
    GetUrlDomFilePathUnencoded,
    TabbedBrowsing,
    Sslux,
    DisableNavigationSounds,
    DisableLegacyCompression,
    ForceAddrAndStatus,
    XmlHttp,
    DisableTelnetProtocol,
    Feeds,
    BlockInputPrompts,
    EntryCount
};
using TInternetFeatures = std::set<TInternetFeatureList>;

class TMouseWheelFix : public TPersistent {
public:
    explicit TMouseWheelFix(bool Designing) : FDesigning(Designing) {}
    ~TMouseWheelFix() override;
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool ActiveFormOnly() const { return FActiveFormOnly; }
    void SetActiveFormOnly(bool Value);
    WbMouseHook::TMouseWheelEvent OnMouseWheel;
    TWBMouseHook* Hook() const { return FHook; }

private:
    bool FDesigning;
    bool FActive = true;
    bool FActiveFormOnly = false;
    TWBMouseHook* FHook = nullptr;
};

class TFocusControl : public TPersistent {
public:
    explicit TFocusControl(bool Designing) : FDesigning(Designing) {}
    bool Active() const { return FActive; }
    void SetActive(bool Value);

private:
    bool FDesigning;
    bool FActive = true;
};

class TWbControl : public TComponent {
public:
    explicit TWbControl(TComponent* AOwner);
    ~TWbControl() override;
    void Loaded() override;
    TMouseWheelFix* MouseWheelFix() const { return FMouseWheelFix.get(); }
    TFocusControl* FocusControl() const { return FFocusControl.get(); }
    WbMouseHook::TMouseWheelEvent OnMouseWheel;
    const TInternetFeatures& InternetFeatures() const { return FInternetFeatures; }
    void SetInternetFeatures(const TInternetFeatures& Value);

private:
    bool FDesigning;
    std::unique_ptr<TMouseWheelFix> FMouseWheelFix;
    std::unique_ptr<TFocusControl> FFocusControl;
    TInternetFeatures FInternetFeatures;
};

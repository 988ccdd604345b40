#include "media/FFBaseComponent.h"

#include "media/FFAbout.h"

TFFBaseComponent::TFFBaseComponent(TComponent* AOwner) : TComponent(AOwner) {}

TFFBaseComponent::~TFFBaseComponent() = default;

std::string TFFBaseComponent::AboutName() const {
    std::string Name = ClassName();
    return Name.empty() ? Name : Name.substr(1);
}

std::string TFFBaseComponent::AboutTitle() const {
    std::string Name = AboutName();
    return FVersion.empty() ? Name : Name + " - Version " + FVersion;
}

void TFFBaseComponent::ShowAbout() {
    ShowAboutDialog(AboutName(), FVersion);
}

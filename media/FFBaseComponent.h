// The common base of the media components (encoder, decoder, logger).
#pragma once

#include "classlib/classes.h"

#include <cstdint>
#include <string>

class TFFBaseComponent : public TComponent {
public:
    explicit TFFBaseComponent(TComponent* AOwner);
    ~TFFBaseComponent() override;

    // Shown in the form designer; writing it has no effect.
    const std::string& About() const { return FAbout; }
    void SetAbout(const std::string&) {}
    const std::string& Version() const { return FVersion; }

    // Shows the about dialog naming the component and its version.
    void ShowAbout();
    // The name it shows: the class name without its first letter ("FFEncoder").
    std::string AboutName() const;
    // The first line of the about dialog: name, and " - Version " + version
    // when there is one.
    std::string AboutTitle() const;

protected:
    std::string FAbout;
    std::string FVersion;
};

// The low four bits of a byte.
inline uint8_t LowNibble(uint8_t Value) {
    return Value & 0x0F;
}

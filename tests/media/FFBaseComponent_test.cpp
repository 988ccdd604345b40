#include "media/FFBaseComponent.h"

#include <gtest/gtest.h>

namespace {

class TFFEncoder : public TFFBaseComponent {
public:
    explicit TFFEncoder(TComponent* AOwner) : TFFBaseComponent(AOwner) { FVersion = "3.9"; }
};

TEST(FFBaseComponent, AboutTextsNameTheComponent) {
    TComponent Owner(nullptr);
    auto* Encoder = new TFFEncoder(&Owner); // freed by its owner
    EXPECT_EQ(Encoder->AboutName(), "FFEncoder");
    EXPECT_EQ(Encoder->AboutTitle(), "FFEncoder - Version 3.9");
    Encoder->SetAbout("ignored");
    EXPECT_EQ(Encoder->About(), "");

    TFFBaseComponent Plain(nullptr);
    EXPECT_EQ(Plain.Version(), "");
    EXPECT_EQ(Plain.AboutTitle(), "FFBaseComponent");
}

TEST(FFBaseComponent, LowNibble) {
    EXPECT_EQ(LowNibble(0xA7), 0x07);
    EXPECT_EQ(LowNibble(0x10), 0x00);
}

} // namespace

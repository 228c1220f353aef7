// The menu of an installation whose brand file names the product with characters that menus
// and formats treat specially. Runs from its own folder, beside that brand file.
#include <gtest/gtest.h>

#include <memory>

#include <wx/menu.h>

#include "recording_sentak.h"
#include "test_service.h"

namespace {

TEST(BrandedMenu, ProductNameIsShownExactlyAsTheBrandFileHasIt) {
    FakeDesktop desktop;
    RecordingSentak tray(desktop);
    ServeOptions options;
    options.record = MakeRecord(u"3.4.1", 8080, 0, 554, 0, 0);
    TestService service(options);

    std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
    const wxMenuItem* header = menu->FindItemByPosition(0);
    // Neither a mnemonic, nor a format, nor an accelerator; only the tab becomes a space.
    EXPECT_EQ(header->GetItemLabelText(), "Tom & Jerry 100%s Ctrl+Q");
    EXPECT_FALSE(std::unique_ptr<wxAcceleratorEntry>(header->GetAccel()));

    service.Stop();
    menu.reset(tray.CreatePopupMenu());
    header = menu->FindItemByPosition(0);
    EXPECT_EQ(header->GetItemLabelText(), "Tom & Jerry 100%s Ctrl+Q Service NOT RUNNING");
    EXPECT_FALSE(std::unique_ptr<wxAcceleratorEntry>(header->GetAccel()));
}

}  // namespace

#pragma once

#include <vector>

#include <wx/bmpbndl.h>

#include "fake_desktop.h"
#include "tray/sentak.h"

// The real tray icon with its desktop faked and every SetIcon recorded, so that tests see the
// displays the program asks for. The status members are opened up for the tests' checks.
class RecordingSentak : public Sentak {
public:
    struct Display {
        wxBitmapBundle image;
        wxString tooltip;
    };

    explicit RecordingSentak(FakeDesktop& desktop) : Sentak(desktop) {}

    bool SetIcon(const wxBitmapBundle& image, const wxString& tooltip) override {
        displays.push_back({image, tooltip});
        return setIconSucceeds;
    }

    using Sentak::m_failureCount;
    using Sentak::m_status;
    using Sentak::m_statusValid;
    using Sentak::m_wasRunning;

    bool setIconSucceeds = true;
    std::vector<Display> displays;
};

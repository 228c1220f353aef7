#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>
#include <vector>

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/menu.h>

#include "captured_log.h"
#include "recording_sentak.h"
#include "service/brand.h"
#include "service/status_pipe.h"

// The tray under attack: every tick and menu build is timed, and whatever happens the user sees
// no log line and no message box.
class HostileTrayTest : public testing::Test {
protected:
    using Clock = std::chrono::steady_clock;
    // Far above the read bound, far below a frozen desktop: a refresh that waited for a hostile
    // service instead of giving up would overrun it.
    static constexpr std::chrono::milliseconds kLongestFreeze =
        kStatusReadBound + std::chrono::seconds(3);

    // As the program runs: with the toolkit's assertions off, which would otherwise stop a test
    // in a box when the toolkit's tray is handed an image that could not be read.
    HostileTrayTest()
        : m_console(std::wcout.rdbuf(m_trace.rdbuf())), m_assertions(wxSetAssertHandler(nullptr)) {}
    ~HostileTrayTest() override {
        wxSetAssertHandler(m_assertions);
        std::wcout.rdbuf(m_console);
    }

    void TearDown() override {
        EXPECT_TRUE(log.records.empty()) << log.records.front();
        EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front().text;
        EXPECT_LT(longest, kLongestFreeze);
    }

    template <typename Step>
    void Timed(Step step) {
        const auto start = Clock::now();
        step();
        longest = std::max(longest, Clock::now() - start);
    }
    void Tick() {
        Timed([this] {
            wxTimer timer;
            wxTimerEvent event(timer);
            tray.OnTimer(event);
        });
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) Tick();
    }
    // As the toolkit does: builds the menu, shows it, deletes it.
    wxString MenuHeader() {
        wxString header;
        Timed([&] {
            wxMenu* menu = tray.CreatePopupMenu();
            header = menu->FindItemByPosition(0)->GetItemLabelText();
            delete menu;
        });
        return header;
    }

    wxString Running() const { return GetProductName() + " Service running"; }
    wxString Stopped() const { return GetProductName() + " Service not running anymore"; }

    std::wostringstream m_trace;
    std::wstreambuf* m_console;
    wxAssertHandler_t m_assertions;
    CapturedLog log;
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
    Clock::duration longest{};
};

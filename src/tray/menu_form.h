#pragma once

// The menu's form and the time its extended form shows while the service is down, taken at an
// opening or when the outage begins between openings, so that a long outage does not change the
// menu at every tick.

#include <cstdint>

class MenuForm {
public:
    // extended: the form an opening would take with no key held, until the first opening.
    MenuForm(bool extended, std::int64_t now) : m_extended(extended), m_outageShownAt(now) {}

    // A refresh whose outcome is valid or not, after one that was valid or not.
    void Refreshed(bool wasValid, bool valid, std::int64_t now) {
        if (wasValid && !valid) m_outageShownAt = now;
    }
    // An opening shows the time as it is then.
    void Opened(bool extended, bool valid, std::int64_t now) {
        m_extended = extended;
        if (!valid) m_outageShownAt = now;
    }

    bool Extended() const { return m_extended; }
    std::int64_t OutageShownAt() const { return m_outageShownAt; }

private:
    bool m_extended;  // the form of the last opening
    std::int64_t m_outageShownAt;
};

// systemd's words for a unit, as its manager reports them, read into the portable record.
#include <gtest/gtest.h>

#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/unit_state.h"

static UnitProperties Unit(const char* load, const char* active, const char* sub,
                           const char* result = "", int code = 0, int status = 0) {
    return {load, active, sub, {}, result, {}, 0, 0, code, status, {}};
}

TEST(UnitState, DecodedIntoThePortableRecord) {
    using Now = ServiceFacts::Now;
    using How = ServiceEnd::How;
    const struct {
        UnitProperties unit;
        ServiceFacts facts;
    } cases[] = {
        {Unit("not-found", "inactive", "dead"), {Now::NotInstalled}},
        {Unit("masked", "inactive", "dead"), {Now::Masked}},
        {Unit("bad-setting", "inactive", "dead"), {Now::NotLoadable, {}, "bad-setting"}},
        // A clean stop ends with SIGTERM, which systemd calls success.
        {Unit("loaded", "inactive", "dead", "success", 2, 15), {Now::Stopped}},
        {Unit("loaded", "failed", "failed", "exit-code", 1, 3), {Now::Stopped, {How::ExitCode, 3}}},
        {Unit("loaded", "failed", "failed", "core-dump", 3, 11),
         {Now::Stopped, {How::Signal, 0, "SIGSEGV"}}},
        {Unit("loaded", "failed", "failed", "signal", 2, 29),
         {Now::Stopped, {How::Signal, 0, "SIGIO"}}},
        {Unit("loaded", "failed", "failed", "watchdog", 2, 6),
         {Now::Stopped, {How::OtherFailure, 0, "watchdog"}}},
        {Unit("loaded", "activating", "auto-restart", "signal", 2, 9),
         {Now::Restarting, {How::Signal, 0, "SIGKILL"}}},
        {Unit("loaded", "activating", "start"), {Now::Starting}},
        {Unit("loaded", "deactivating", "stop-sigterm"), {Now::Stopping}},
        // Running though its service may not answer: Stop and Restart offered, not Start.
        {Unit("loaded", "active", "running", "success"), {Now::Running}},
        {Unit("loaded", "reloading", "running", "success"), {Now::Running}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeUnit(c.unit), c.facts) << c.unit.activeState << " " << c.unit.result;
    // Read as GetAll gives them: the run's id from its 16 bytes; what the service says of itself
    // cut where a character begins, at most 1024 bytes.
    UnitProperties unit;
    const std::string text =
        "{'InvocationID': <[byte 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, "
        "14, 255]>, 'StatusText': <'" +
        std::string(1023, 'x') + "\\u00e9y'>}";
    ReadUnitProperties(
        VariantPtr(g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, nullptr)).get(), unit);
    const ServiceFacts facts = DecodeUnit(unit);
    EXPECT_EQ(facts.runId, "000102030405060708090a0b0c0d0eff");
    EXPECT_EQ(facts.statusText, wxString(1023, 'x'));
}

// systemd signals on the unit's path as it spells it, which the watch must match exactly.
TEST(UnitState, PathSpelledAsSystemdDoes) {
    EXPECT_EQ(BusLabel("getty@tty1.service"), "getty_40tty1_2eservice");
    EXPECT_EQ(BusLabel("3proxy.service"), "_33proxy_2eservice");
    EXPECT_EQ(BusLabel(""), "_");
}

// The words systemd signals over a process's life, each told once, as it repeats them.
TEST(UnitState, MainProcessChangesToldOnce) {
    using Kind = ServiceChange::Kind;
    MainProcessFollower follower;
    const auto follow = [&](std::uint32_t pid, const char* result, int code, int status,
                            std::uint32_t restarts = 0) {
        return follower.Follow({{}, {}, {}, {}, result, {}, pid, 5000000, code, status, restarts});
    };
    EXPECT_FALSE(follow(7, "exit-code", 1, 3));  // an end before we looked is history
    const auto started = follow(8, "success", 0, 0);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->kind, Kind::Started);
    EXPECT_EQ(started->pid, 8u);
    EXPECT_EQ(started->startedAt, 5);
    EXPECT_FALSE(follow(8, "success", 0, 0));
    const auto ended = follow(8, "signal", 2, 11);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->kind, Kind::Ended);
    EXPECT_EQ(ended->end, (ServiceEnd{ServiceEnd::How::Signal, 0, "SIGSEGV"}));
    EXPECT_EQ(ended->restarts, 0u);
    EXPECT_FALSE(follow(8, "signal", 2, 11));
    // systemd counts its repair in a word of its own, before the new process starts.
    const auto counted = follow(8, "signal", 2, 11, 1);
    ASSERT_TRUE(counted);
    EXPECT_EQ(counted->kind, Kind::Counted);
    EXPECT_EQ(counted->restarts, 1u);
    EXPECT_FALSE(follow(8, "signal", 2, 11, 1));
    const auto restarted = follow(9, "success", 0, 0, 1);
    ASSERT_TRUE(restarted);
    EXPECT_EQ(restarted->restarts, 1u);
}

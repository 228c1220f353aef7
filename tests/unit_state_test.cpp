// systemd's words for a unit, as its manager reports them, read into the portable record.
#include <gtest/gtest.h>

#include "platform/linux/unit_state.h"

static UnitProperties Unit(const char* load, const char* active, const char* sub,
                           const char* result = "", int code = 0, int status = 0) {
    return {load, active, sub, result, code, status};
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
        {Unit("loaded", "reloading", "running", "success"), {Now::Running}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeUnit(c.unit), c.facts) << c.unit.activeState << " " << c.unit.result;
}

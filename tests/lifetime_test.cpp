// What every late callback relies on: it reaches its owner while the owner lives and nothing
// after, a worker's result on the GUI thread; and an owner given a new handle gives the old back.
#include <wx/thread.h>

#include <thread>

#include "base/lifetime.h"
#include "base/unique_owner.h"
#include "support.h"

TEST(Lifetime, CallbacksReachTheirOwnerOnlyWhileItLives) {
    auto lifetime = std::make_unique<Lifetime>();
    int calls = 0;
    const auto guarded = lifetime->Guard([&] { ++calls; });
    guarded();
    bool onGuiThread = false;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(10), [&] {
        std::thread([watch = lifetime->watch(), &onGuiThread] {
            watch.Post([&] { onGuiThread = wxThread::IsMain(), wxTheApp->ExitMainLoop(); });
        }).detach();
    }));
    EXPECT_TRUE(onGuiThread);
    // Posted, and the owner gone before the GUI thread comes to it.
    lifetime->watch().Post([&] { ++calls; });
    lifetime.reset();
    guarded();
    RunMainLoop(std::chrono::milliseconds(300), [] {});
    EXPECT_EQ(calls, 1);
}

TEST(UniqueOwner, AnOwnerGivenAnotherHandleGivesTheOldOneBackAtOnce) {
    std::vector<int> released;
    const auto release = [&](int handle) { released.push_back(handle); };
    UniqueOwner<int, std::function<void(int)>> owner(1, release), other(2, release);
    owner = std::move(other);
    EXPECT_EQ(released, std::vector<int>{1});
    owner = {};
    EXPECT_EQ(released, (std::vector<int>{1, 2}));
}

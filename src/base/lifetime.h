#pragma once

// The one way for a callback that may come after its owner is gone, when the owner cannot stop
// what calls it: the owner holds a Lifetime, each callback a watch of it, and a callback whose
// owner has ended does nothing. A worker thread's result reaches the GUI thread through Post and
// is dropped there once the owner has ended, so that no owner ever waits for a worker to finish.
//
// No Lifetime is needed where the owner holds what calls it and, in its destructor on the GUI
// thread (where those calls run), ends it in a way that stops every later call:
// - an object exported on D-Bus with the owner as its data (DbusMenu, StatusNotifierItem): GDBus
//   looks the registration up again before it dispatches, so a call queued before the owner
//   unregistered is answered with an error and never reaches it;
// - the toolkit's CallAfter on the owner itself (Sentak, a wxEvtHandler, opening the menu from its
//   notice): the handler's destructor deletes the calls queued on it;
// - a notification's button and click (Sentak): its destructor closes the notification, and its
//   callbacks go with it;
// - the started-again handler (WhenStartedAgain): a single slot, called only on the GUI thread,
//   which Sentak's destructor empties;
// - the Windows session watch: its window is destroyed and its handlers unbound, after which
//   neither Windows nor the toolkit calls it.
// A callback that an owner hands to an object it owns (Sentak's to its service control, state
// reader and session watch) is that object's to keep safe; the owner destroys it first.
// And a callback that holds nothing that ends before the process needs neither: the browser's
// failed launch reaches only the desktop, which lives until the process exits.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class Lifetime {
    struct State {
        std::mutex posting;  // an End never passes a Post that has seen the owner alive
        std::atomic<bool> alive{true};
    };

public:
    // What a callback holds: whether the owner still lives. Copied freely, on any thread.
    class Watch {
    public:
        explicit operator bool() const { return m_state->alive; }
        // From any thread: call runs on the GUI thread, unless the owner has ended by then.
        void Post(std::function<void()> call) const;

    private:
        friend class Lifetime;
        explicit Watch(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    Lifetime() = default;
    ~Lifetime() { End(); }
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // No callback of this owner runs from now on. Waits at most for a Post that is handing its
    // call to the GUI thread's queue, never for the work before it.
    void End() {
        const std::lock_guard<std::mutex> lock(m_state->posting);
        m_state->alive = false;
    }

    Watch watch() const { return Watch(m_state); }

    // A copy of call that does nothing once the owner has ended, for a caller on the owner's
    // thread.
    template <typename Call>
    auto Guard(Call call) const {
        return [watch = watch(), call = std::move(call)](auto&&... args) {
            if (watch) call(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// The owner as the user data of a C library's callback: the owner while it lives, null after.
// Give hands a copy over to the library; a one-time callback takes it back with Take, and a
// repeated one reads it with Of and leaves it to the library to give back through Forget.
template <typename Owner>
class Watched {
public:
    Watched(Owner& owner, const Lifetime& lifetime) : m_owner(&owner), m_watch(lifetime.watch()) {}

    Owner* get() const { return m_watch ? m_owner : nullptr; }

    void* Give() const { return new Watched(*this); }
    static Owner* Of(void* data) { return static_cast<const Watched*>(data)->get(); }
    static Owner* Take(void* data) {
        const std::unique_ptr<Watched> watched(static_cast<Watched*>(data));
        return watched->get();
    }
    static void Forget(void* data) { delete static_cast<Watched*>(data); }

private:
    Owner* m_owner;
    Lifetime::Watch m_watch;
};

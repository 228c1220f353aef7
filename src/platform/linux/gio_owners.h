#pragma once

// Owners of what GLib and GDBus hand out, so that no path leaks a reference, a registration or
// a bus name.

#include <gio/gio.h>

#include <memory>

#include "base/guarded.h"
#include "base/unique_owner.h"

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GVariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

using ConnectionPtr = std::unique_ptr<GDBusConnection, GObjectUnref>;
using CancellablePtr = std::unique_ptr<GCancellable, GObjectUnref>;
using NodeInfoPtr = std::unique_ptr<GDBusNodeInfo, decltype(&g_dbus_node_info_unref)>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
using StringPtr = std::unique_ptr<gchar, GFree>;  // a string GLib allocated

// Takes over one reference: a floating variant's, or the one a call handed over.
class VariantPtr {
public:
    VariantPtr() = default;
    explicit VariantPtr(GVariant* variant)
        : m_variant(variant ? g_variant_take_ref(variant) : nullptr) {}
    GVariant* get() const { return m_variant.get(); }
    explicit operator bool() const { return bool(m_variant); }

private:
    std::unique_ptr<GVariant, GVariantUnref> m_variant;
};

// One id that a release function gives back: an object registration, a bus name, a name watch.
template <typename Release>
class GioId : public UniqueOwner<guint, Release> {
public:
    using UniqueOwner<guint, Release>::UniqueOwner;
};

// An object exported on a connection, unexported when dropped.
struct Unexport {
    GDBusConnection* connection = nullptr;
    void operator()(guint id) const { g_dbus_connection_unregister_object(connection, id); }
};
using Registration = GioId<Unexport>;

// A bus name owned (g_bus_own_name) or watched (g_bus_watch_name), given back when dropped.
struct Unown {
    void operator()(guint id) const { g_bus_unown_name(id); }
};
struct Unwatch {
    void operator()(guint id) const { g_bus_unwatch_name(id); }
};
using OwnedName = GioId<Unown>;
using NameWatch = GioId<Unwatch>;

// A subscription to signals on a connection, cancelled when dropped.
struct Unsubscribe {
    GDBusConnection* connection = nullptr;
    void operator()(guint id) const { g_dbus_connection_signal_unsubscribe(connection, id); }
};
using Subscription = GioId<Unsubscribe>;

// A main loop source (a timeout), removed when dropped. Removing it from its own callback is
// allowed: GLib then drops it after the call.
struct RemoveSource {
    void operator()(guint id) const { g_source_remove(id); }
};
using Source = GioId<RemoveSource>;

// Completes a call of g_dbus_connection_call from its callback: handle gets the reply, or null and
// the error when the call failed. A cancelled call is dropped unseen, as its caller cancels only
// when it goes away; whatever handle throws is dropped too, since nothing may unwind through
// GDBus's C frames.
template <typename Handle>
void FinishCall(GObject* connection, GAsyncResult* result, Handle&& handle) noexcept {
    GError* error = nullptr;
    const VariantPtr reply(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, &error));
    const ErrorPtr failed(error);
    if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
    Guarded([&] { handle(reply.get(), error); });
}

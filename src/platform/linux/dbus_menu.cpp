#include "platform/linux/dbus_menu.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";

constexpr const char* kIntrospection = R"xml(<node>
 <interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
   <arg type="i" name="parentId" direction="in"/>
   <arg type="i" name="recursionDepth" direction="in"/>
   <arg type="as" name="propertyNames" direction="in"/>
   <arg type="u" name="revision" direction="out"/>
   <arg type="(ia{sv}av)" name="layout" direction="out"/>
  </method>
  <method name="GetGroupProperties">
   <arg type="ai" name="ids" direction="in"/>
   <arg type="as" name="propertyNames" direction="in"/>
   <arg type="a(ia{sv})" name="properties" direction="out"/>
  </method>
  <method name="GetProperty">
   <arg type="i" name="id" direction="in"/>
   <arg type="s" name="name" direction="in"/>
   <arg type="v" name="value" direction="out"/>
  </method>
  <method name="Event">
   <arg type="i" name="id" direction="in"/>
   <arg type="s" name="eventId" direction="in"/>
   <arg type="v" name="data" direction="in"/>
   <arg type="u" name="timestamp" direction="in"/>
  </method>
  <method name="EventGroup">
   <arg type="a(isvu)" name="events" direction="in"/>
   <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <method name="AboutToShow">
   <arg type="i" name="id" direction="in"/>
   <arg type="b" name="needUpdate" direction="out"/>
  </method>
  <method name="AboutToShowGroup">
   <arg type="ai" name="ids" direction="in"/>
   <arg type="ai" name="updatesNeeded" direction="out"/>
   <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated">
   <arg type="a(ia{sv})" name="updatedProps"/>
   <arg type="a(ias)" name="removedProps"/>
  </signal>
  <signal name="LayoutUpdated">
   <arg type="u" name="revision"/>
   <arg type="i" name="parent"/>
  </signal>
  <signal name="ItemActivationRequested">
   <arg type="i" name="id"/>
   <arg type="u" name="timestamp"/>
  </signal>
 </interface>
</node>)xml";

// The protocol's error for a request of which no id is known.
constexpr const char* kNoSuchItem = "no such item";

// Whether a property belongs in an answer: hosts ask for all with an empty list.
bool Wanted(GVariant* names, const char* name) {
    if (!names || g_variant_n_children(names) == 0) return true;
    const gchar** list = g_variant_get_strv(names, nullptr);
    bool found = false;
    for (const gchar** n = list; *n && !found; ++n) found = std::strcmp(*n, name) == 0;
    g_free(list);
    return found;
}

// A list that a caller hands in holds at most this many items, so that a flood costs the caller an
// error rather than the tray the time and memory of answering every copy. Far more than a menu of
// ours has entries or properties.
constexpr gsize kMostListed = 256;

// Whether a call's parameters hold a list longer than that.
bool HoldsLongList(GVariant* parameters) {
    for (gsize i = 0, n = g_variant_n_children(parameters); i < n; ++i) {
        const VariantPtr child(g_variant_get_child_value(parameters, i));
        if (g_variant_is_of_type(child.get(), G_VARIANT_TYPE_ARRAY) &&
            g_variant_n_children(child.get()) > kMostListed)
            return true;
    }
    return false;
}

// Adds item unless the list has it: what a caller repeats is answered once.
template <typename T>
void AddOnce(std::vector<T>& list, T item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(std::move(item));
}

// The ids that a request lists first, each once, in the order first listed.
std::vector<std::int32_t> IdsOf(GVariant* parameters) {
    const VariantPtr ids(g_variant_get_child_value(parameters, 0));
    gsize count = 0;
    const auto* list =
        static_cast<const gint32*>(g_variant_get_fixed_array(ids.get(), &count, sizeof(gint32)));
    std::vector<std::int32_t> once;
    for (gsize i = 0; i < count; ++i) AddOnce(once, std::int32_t(list[i]));
    return once;
}

// What hosts are told of an entry that stays: only the properties that changed, since some
// hosts complain of each property they are told of again.
std::vector<const char*> ChangedProperties(const MenuEntry& old, const MenuEntry& now) {
    std::vector<const char*> names;
    if ((old.kind == MenuKind::Separator) != (now.kind == MenuKind::Separator))
        names.push_back("type");
    if (old.label != now.label) names.push_back("label");
    if (old.enabled != now.enabled) names.push_back("enabled");
    return names;
}

GVariant* IdArray(const std::vector<std::int32_t>& ids) {
    return g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, ids.data(), ids.size(), sizeof(gint32));
}

}  // namespace

wxString DbusMenuLabel(const wxString& label) {
    wxString text = label.BeforeFirst('\t');
    wxString converted;
    for (size_t i = 0; i < text.length(); ++i) {
        const wxUniChar c = text[i];
        if (c == '_') {
            converted += "__";
        } else if (c == '&' && i + 1 < text.length()) {
            ++i;
            converted += text[i] == '&' ? wxString("&") : "_" + wxString(text[i]);
        } else if (c != '&') {
            converted += c;
        }
    }
    return converted;
}

DbusMenu::DbusMenu(GDBusConnection* connection, MenuModel menu, Callbacks callbacks)
    : m_connection(connection), m_callbacks(std::move(callbacks)), m_menu(std::move(menu)) {
    static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable{
        &DbusMenu::OnMethodCall, &DbusMenu::OnGetProperty, nullptr, {}};
    // this as the data: m_registration unregisters it first, and GDBus calls nothing after that.
    const guint id = g_dbus_connection_register_object(connection, kPath, node->interfaces[0],
                                                       &vtable, this, nullptr, nullptr);
    if (id) m_registration = Registration(id, Unexport{connection});
}

GVariant* DbusMenu::OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar* property, GError**, gpointer) {
    if (std::strcmp(property, "Version") == 0) return g_variant_new_uint32(3);
    if (std::strcmp(property, "TextDirection") == 0) return g_variant_new_string("ltr");
    if (std::strcmp(property, "Status") == 0) return g_variant_new_string("normal");
    return g_variant_new_strv(nullptr, 0);  // IconThemePath
}

void DbusMenu::OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar* method, GVariant* parameters,
                            GDBusMethodInvocation* invocation, gpointer self) {
    using Handler = Answer (DbusMenu::*)(GVariant*);
    static const std::pair<const char*, Handler> handlers[] = {
        {"GetLayout", &DbusMenu::GetLayout},
        {"GetGroupProperties", &DbusMenu::GetGroupProperties},
        {"GetProperty", &DbusMenu::GetProperty},
        {"Event", &DbusMenu::Event},
        {"EventGroup", &DbusMenu::EventGroup},
        {"AboutToShow", &DbusMenu::AboutToShow},
        {"AboutToShowGroup", &DbusMenu::AboutToShowGroup},
    };
    if (HoldsLongList(parameters)) {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                              "more than %u items in a list",
                                              unsigned(kMostListed));
        return;
    }
    DbusMenu& menu = *static_cast<DbusMenu*>(self);
    std::optional<Answer> answer;
    Guarded([&] {
        menu.EnsureLayout();
        for (const auto& [name, handler] : handlers)
            if (std::strcmp(method, name) == 0) answer = (menu.*handler)(parameters);
    });
    if (!answer)  // it threw: a host must still get an answer
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED,
                                              "%s failed", method);
    else if (!answer->error.empty())
        g_dbus_method_invocation_return_error_literal(
            invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, answer->error.c_str());
    else
        g_dbus_method_invocation_return_value(invocation, answer->reply);
}

DbusMenu::Answer DbusMenu::GetLayout(GVariant* parameters) {
    gint32 parent = 0, depth = 0;
    GVariant* names = nullptr;
    g_variant_get(parameters, "(ii@as)", &parent, &depth, &names);
    const VariantPtr owned(names);
    if (!Known(parent)) return {nullptr, "no item " + std::to_string(parent)};
    // Only the root has entries below it; a depth of 0 asks for the item alone, and any other
    // for its entries too (-1 and every other negative depth: all levels).
    GVariant* const layout = Node(parent, names, parent == 0 && depth != 0);
    return {g_variant_new("(u@(ia{sv}av))", m_revision, layout), {}};
}

DbusMenu::Answer DbusMenu::GetGroupProperties(GVariant* parameters) {
    GVariant* names = nullptr;
    g_variant_get(parameters, "(@ai@as)", nullptr, &names);
    const VariantPtr owned(names);
    std::vector<std::int32_t> ids = IdsOf(parameters);
    if (ids.empty()) {  // all of them
        ids.push_back(0);
        for (const MenuEntry& entry : m_menu.entries) ids.push_back(entry.id);
    }
    GVariantBuilder all;
    g_variant_builder_init(&all, G_VARIANT_TYPE("a(ia{sv})"));
    for (const std::int32_t id : ids)
        if (Known(id)) g_variant_builder_add(&all, "(i@a{sv})", id, Properties(id, names));
    return {g_variant_new("(a(ia{sv}))", &all), {}};
}

DbusMenu::Answer DbusMenu::GetProperty(GVariant* parameters) {
    gint32 id = 0;
    const gchar* name = nullptr;
    g_variant_get(parameters, "(i&s)", &id, &name);
    const VariantPtr properties(Known(id) ? Properties(id, nullptr) : nullptr);
    const VariantPtr value(properties ? g_variant_lookup_value(properties.get(), name, nullptr)
                                      : nullptr);
    if (!value) return {nullptr, "no such property"};
    return {g_variant_new("(v)", value.get()), {}};
}

DbusMenu::Answer DbusMenu::Event(GVariant* parameters) {
    gint32 id = 0;
    const gchar* event = nullptr;
    g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
    Click(id, event);
    return {nullptr, {}};
}

DbusMenu::Answer DbusMenu::EventGroup(GVariant* parameters) {
    GVariantIter* events = nullptr;
    g_variant_get(parameters, "(a(isvu))", &events);
    std::vector<std::pair<std::int32_t, std::string>> clicks;
    std::vector<std::int32_t> unknown;
    gint32 id = 0;
    const gchar* event = nullptr;
    while (g_variant_iter_loop(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
        if (Find(id))
            AddOnce(clicks, {id, event});
        else
            AddOnce(unknown, id);
    }
    g_variant_iter_free(events);
    if (clicks.empty() && !unknown.empty()) return {nullptr, kNoSuchItem};
    for (const auto& [clicked, name] : clicks) Click(clicked, name.c_str());
    return {g_variant_new("(@ai)", IdArray(unknown)), {}};
}

DbusMenu::Answer DbusMenu::AboutToShow(GVariant* parameters) {
    gint32 id = 0;
    g_variant_get(parameters, "(i)", &id);
    if (!Known(id)) return {nullptr, kNoSuchItem};
    // Only the root has entries to build; the host fetches them again only if they changed.
    return {g_variant_new("(b)", id == 0 && Open()), {}};
}

// What hosts on libdbusmenu-glib send instead of AboutToShow, without waiting for the answer.
DbusMenu::Answer DbusMenu::AboutToShowGroup(GVariant* parameters) {
    const std::vector<std::int32_t> ids = IdsOf(parameters);
    std::vector<std::int32_t> unknown, needed;
    bool root = false;
    for (const std::int32_t id : ids) {
        root = root || id == 0;
        if (!Known(id)) unknown.push_back(id);
    }
    if (!ids.empty() && unknown.size() == ids.size()) return {nullptr, kNoSuchItem};
    if (root && Open()) needed.push_back(0);
    return {g_variant_new("(@ai@ai)", IdArray(needed), IdArray(unknown)), {}};
}

void DbusMenu::Click(std::int32_t id, const char* event) {
    const MenuEntry* entry = Find(id);
    // A stale id finds nothing: the entry it meant is gone, and no other may take its click.
    if (!entry || entry->kind != MenuKind::Command || !entry->enabled ||
        std::strcmp(event, "clicked") != 0)
        return;
    m_callbacks.choose(entry->id);
}

bool DbusMenu::Apply(MenuModel menu) {
    const std::vector<MenuEntry>& now = menu.entries;
    bool sameLayout = now.size() == m_menu.entries.size();
    for (size_t i = 0; sameLayout && i < now.size(); ++i)
        sameLayout = now[i].id == m_menu.entries[i].id && now[i].kind == m_menu.entries[i].kind;
    std::vector<std::pair<std::int32_t, std::vector<const char*>>> changed;
    for (const MenuEntry& entry : now) {
        const MenuEntry* old = Find(entry.id);
        std::vector<const char*> names;
        if (old) names = ChangedProperties(*old, entry);
        if (!names.empty()) changed.emplace_back(entry.id, std::move(names));
    }
    m_menu = std::move(menu);

    // Changed properties go out even with a new layout: some hosts keep what they know of an id
    // that stays.
    if (!changed.empty()) {
        GVariantBuilder updated;
        g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
        for (const auto& [id, names] : changed) {
            const VariantPtr wanted(g_variant_new_strv(names.data(), gssize(names.size())));
            g_variant_builder_add(&updated, "(i@a{sv})", id, Properties(id, wanted.get()));
        }
        Emit("ItemsPropertiesUpdated",
             g_variant_new("(a(ia{sv})@a(ias))", &updated,
                           g_variant_new_array(G_VARIANT_TYPE("(ias)"), nullptr, 0)));
    }
    if (!sameLayout) {
        if (++m_revision == 0) m_revision = 1;
        Emit("LayoutUpdated", g_variant_new("(ui)", m_revision, 0));
    }
    if (sameLayout && changed.empty()) return false;
    ++m_changes;
    return true;
}

void DbusMenu::Emit(const char* signal, GVariant* parameters) {
    g_dbus_connection_emit_signal(m_connection, nullptr, kPath, kInterface, signal, parameters,
                                  nullptr);
}

// The first request of a host starts the first revision: hosts are told of nothing before.
void DbusMenu::EnsureLayout() {
    if (m_revision == 0) m_revision = 1;
}

void DbusMenu::SetMenu(MenuModel menu) {
    if (m_revision == 0)
        m_menu = std::move(menu);
    else
        Apply(std::move(menu));
}

// Whether the opening changed the menu, as the popup's would be built afresh: handed down on the
// way or returned, the hosts have been told of it either way.
bool DbusMenu::Open() {
    const std::uint32_t before = m_changes;
    Apply(m_callbacks.opening());
    return m_changes != before;
}

const MenuEntry* DbusMenu::Find(std::int32_t id) const {
    for (const MenuEntry& entry : m_menu.entries)
        if (entry.id == id) return &entry;
    return nullptr;
}

GVariant* DbusMenu::Properties(std::int32_t id, GVariant* names) const {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    const auto add = [&](const char* name, GVariant* value) {
        if (Wanted(names, name))
            g_variant_builder_add(&properties, "{sv}", name, value);
        else
            g_variant_unref(g_variant_ref_sink(value));
    };
    if (id == 0) {
        add("children-display", g_variant_new_string("submenu"));
    } else {
        // Every property asked for, every time: the host's library forgets those an answer
        // leaves out.
        const MenuEntry& entry = *Find(id);
        const bool separator = entry.kind == MenuKind::Separator;
        add("type", g_variant_new_string(separator ? "separator" : "standard"));
        add("label", g_variant_new_string(DbusMenuLabel(entry.label).utf8_str()));
        add("enabled", g_variant_new_boolean(separator || entry.enabled));
        add("visible", g_variant_new_boolean(true));
    }
    return g_variant_builder_end(&properties);
}

GVariant* DbusMenu::Node(std::int32_t id, GVariant* names, bool withEntries) const {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (withEntries)
        for (const MenuEntry& entry : m_menu.entries)
            g_variant_builder_add(&children, "v", Node(entry.id, names, false));
    return g_variant_new("(i@a{sv}av)", id, Properties(id, names), &children);
}

#include "platform/dbus_menu_linux.h"

#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include <wx/menu.h>

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

// Far above any toolkit id we give, for entries the toolkit numbered itself (negative ids, which
// libdbusmenu drops): such an entry is known by its position instead.
constexpr std::int32_t kFirstUnnumberedId = 1000000;

// The protocol's answer to a request of which no id is known.
void ReturnUnknownIds(GDBusMethodInvocation* invocation) {
    g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_INVALID_ARGS, "no such item");
}

// Whether a property belongs in an answer: hosts ask for all with an empty list.
bool Wanted(GVariant* names, const char* name) {
    if (!names || g_variant_n_children(names) == 0) return true;
    const gchar** list = g_variant_get_strv(names, nullptr);
    bool found = false;
    for (const gchar** n = list; *n && !found; ++n) found = std::strcmp(*n, name) == 0;
    g_free(list);
    return found;
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

DbusMenu::DbusMenu(GDBusConnection* connection, Callbacks callbacks)
    : m_connection(connection), m_callbacks(std::move(callbacks)) {
    static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable{
        &DbusMenu::OnMethodCall, &DbusMenu::OnGetProperty, nullptr, {}};
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
    // Nothing may unwind through GDBus's C frames.
    try {
        static_cast<DbusMenu*>(self)->Answer(method, parameters, invocation);
    } catch (const std::exception& e) {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED, "%s",
                                              e.what());
    } catch (...) {
        g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED,
                                                      "failed");
    }
}

void DbusMenu::Answer(const char* method, GVariant* parameters, GDBusMethodInvocation* invocation) {
    EnsureLayout();
    if (std::strcmp(method, "AboutToShow") == 0) {
        gint32 id = 0;
        g_variant_get(parameters, "(i)", &id);
        if (id != 0 && !Find(id)) return ReturnUnknownIds(invocation);
        // Only the root has entries to build; the host fetches them again only if they changed.
        const bool changed = id == 0 && Open();
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", changed));
        return;
    }
    if (std::strcmp(method, "AboutToShowGroup") == 0) {
        // What hosts on libdbusmenu-glib send instead, without waiting for the answer.
        GVariantIter* ids = nullptr;
        g_variant_get(parameters, "(ai)", &ids);
        GVariantBuilder needed, errors;
        g_variant_builder_init(&needed, G_VARIANT_TYPE("ai"));
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        bool root = false, known = false;
        gint32 id = 0;
        while (g_variant_iter_next(ids, "i", &id)) {
            if (id == 0) root = true;
            if (id == 0 || Find(id))
                known = true;
            else
                g_variant_builder_add(&errors, "i", id);
        }
        const bool asked = g_variant_iter_n_children(ids) > 0;
        g_variant_iter_free(ids);
        if (asked && !known) {
            g_variant_builder_clear(&needed), g_variant_builder_clear(&errors);
            return ReturnUnknownIds(invocation);
        }
        if (root && Open()) g_variant_builder_add(&needed, "i", 0);
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(aiai)", &needed, &errors));
        return;
    }

    if (std::strcmp(method, "GetLayout") == 0) {
        gint32 parent = 0, depth = 0;
        GVariant* names = nullptr;
        g_variant_get(parameters, "(ii@as)", &parent, &depth, &names);
        VariantPtr owned(names);
        if (parent != 0 && !Find(parent)) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_INVALID_ARGS, "no item %d", parent);
            return;
        }
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(u@(ia{sv}av))", m_revision, Layout(parent, depth, names)));
    } else if (std::strcmp(method, "GetGroupProperties") == 0) {
        GVariant *ids = nullptr, *names = nullptr;
        g_variant_get(parameters, "(@ai@as)", &ids, &names);
        VariantPtr ownedIds(ids), ownedNames(names);
        GVariantBuilder all;
        g_variant_builder_init(&all, G_VARIANT_TYPE("a(ia{sv})"));
        std::vector<std::int32_t> wanted;
        if (g_variant_n_children(ids) == 0) {
            wanted.push_back(0);
            for (const Item& item : m_items) wanted.push_back(item.id);
        } else {
            gsize count = 0;
            const gint32* list =
                static_cast<const gint32*>(g_variant_get_fixed_array(ids, &count, sizeof(gint32)));
            wanted.assign(list, list + count);
        }
        for (std::int32_t id : wanted)
            if (id == 0 || Find(id))
                g_variant_builder_add(&all, "(i@a{sv})", id, Properties(id, names));
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &all));
    } else if (std::strcmp(method, "GetProperty") == 0) {
        gint32 id = 0;
        const gchar* name = nullptr;
        g_variant_get(parameters, "(i&s)", &id, &name);
        VariantPtr properties(id == 0 || Find(id) ? Properties(id, nullptr) : nullptr);
        GVariant* value =
            properties ? g_variant_lookup_value(properties.get(), name, nullptr) : nullptr;
        if (!value) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_INVALID_ARGS, "no such property");
            return;
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        g_variant_unref(value);
    } else if (std::strcmp(method, "Event") == 0) {
        gint32 id = 0;
        const gchar* event = nullptr;
        g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
        // Answered first: the command may open a box and wait for the user.
        g_dbus_method_invocation_return_value(invocation, nullptr);
        Click(id, event);
    } else if (std::strcmp(method, "EventGroup") == 0) {
        GVariantIter* events = nullptr;
        g_variant_get(parameters, "(a(isvu))", &events);
        GVariantBuilder errors;
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        std::vector<std::pair<gint32, std::string>> clicks;
        gint32 id = 0;
        const gchar* event = nullptr;
        while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
            if (Find(id))
                clicks.emplace_back(id, event);
            else
                g_variant_builder_add(&errors, "i", id);
        }
        const bool asked = g_variant_iter_n_children(events) > 0;
        g_variant_iter_free(events);
        if (asked && clicks.empty()) {
            g_variant_builder_clear(&errors);
            return ReturnUnknownIds(invocation);
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ai)", &errors));
        for (const auto& [clicked, name] : clicks) Click(clicked, name.c_str());
    } else {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                              "%s", method);
    }
}

void DbusMenu::Click(std::int32_t id, const char* event) {
    const Item* item = Find(id);
    // A stale id finds nothing: the entry it meant is gone, and no other may take its click.
    if (!item || item->separator || !item->enabled || std::strcmp(event, "clicked") != 0) return;
    // The answer has gone out already: a click that cannot be passed on is lost, not an error.
    Guarded([&] { m_callbacks.choose(item->command); });
}

std::vector<DbusMenu::Item> DbusMenu::ItemsOf(wxMenu* built) {
    const std::unique_ptr<wxMenu> menu(built);
    std::vector<Item> items;
    if (!menu) return items;
    for (const wxMenuItem* entry : menu->GetMenuItems()) {
        Item item{};
        item.command = entry->GetId();
        item.separator = entry->IsSeparator();
        item.id = item.command > 0 ? item.command
                                   : kFirstUnnumberedId + static_cast<std::int32_t>(items.size());
        item.label = item.separator ? wxString() : DbusMenuLabel(entry->GetItemLabel());
        item.enabled = entry->IsEnabled();
        items.push_back(item);
    }
    return items;
}

bool DbusMenu::Apply(std::vector<Item> items) {
    bool sameLayout = items.size() == m_items.size();
    for (size_t i = 0; sameLayout && i < items.size(); ++i)
        sameLayout = items[i].id == m_items[i].id && items[i].separator == m_items[i].separator;
    std::vector<std::int32_t> changed;
    for (const Item& item : items) {
        const Item* old = Find(item.id);
        if (old && (old->label != item.label || old->enabled != item.enabled))
            changed.push_back(item.id);
    }
    m_items = std::move(items);

    // Also when the layout changed: some hosts keep what they know of an id that stays.
    if (!changed.empty()) {
        GVariantBuilder updated;
        g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
        for (const std::int32_t id : changed)
            g_variant_builder_add(&updated, "(i@a{sv})", id, Properties(id, nullptr));
        Emit("ItemsPropertiesUpdated",
             g_variant_new("(a(ia{sv})@a(ias))", &updated,
                           g_variant_new_array(G_VARIANT_TYPE("(ias)"), nullptr, 0)));
    }
    if (!sameLayout) {
        if (++m_revision == 0) m_revision = 1;
        Emit("LayoutUpdated", g_variant_new("(ui)", m_revision, 0));
    }
    return !sameLayout || !changed.empty();
}

void DbusMenu::Emit(const char* signal, GVariant* parameters) {
    g_dbus_connection_emit_signal(m_connection, nullptr, kPath, kInterface, signal, parameters,
                                  nullptr);
}

void DbusMenu::EnsureLayout() {
    if (m_revision != 0) return;
    m_items = ItemsOf(m_callbacks.buildQuietly());
    m_revision = 1;
}

void DbusMenu::Update() {
    // Nothing to follow before a host has asked for the menu, nor during an opening, which
    // builds and compares the menu itself.
    if (m_revision == 0 || m_opening) return;
    Apply(ItemsOf(m_callbacks.buildQuietly()));
}

bool DbusMenu::Open() {
    // Built afresh exactly as the popup menu is; whatever way the building ends, it has ended.
    m_opening = true;
    const std::unique_ptr<bool, void (*)(bool*)> opened(&m_opening, [](bool* o) { *o = false; });
    return Apply(ItemsOf(m_callbacks.buildOnOpening()));
}

const DbusMenu::Item* DbusMenu::Find(std::int32_t id) const {
    for (const Item& item : m_items)
        if (item.id == id) return &item;
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
        // Every property, every time: the host's library forgets those an answer leaves out.
        const Item& item = *Find(id);
        add("type", g_variant_new_string(item.separator ? "separator" : "standard"));
        add("label", g_variant_new_string(item.label.utf8_str()));
        add("enabled", g_variant_new_boolean(item.separator || item.enabled));
        add("visible", g_variant_new_boolean(true));
    }
    return g_variant_builder_end(&properties);
}

GVariant* DbusMenu::Layout(std::int32_t parent, std::int32_t depth, GVariant* names) const {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    // Depth 0 is the item alone, -1 all levels; only the root has entries below it.
    if (parent == 0 && depth != 0)
        for (const Item& item : m_items)
            g_variant_builder_add(&children, "v", Layout(item.id, depth - 1, names));
    return g_variant_new("(i@a{sv}av)", parent, Properties(parent, names), &children);
}

#include "platform/linux/status_notifier.h"

#include <cstring>
#include <exception>

#include <wx/bitmap.h>

#include "platform/desktop_shell.h"

namespace {

constexpr const char* kInterface = "org.kde.StatusNotifierItem";

constexpr const char* kIntrospection = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="IconAccessibleDesc" type="s" access="read"/>
  <property name="AttentionAccessibleDesc" type="s" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="Activate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="Scroll"><arg name="delta" type="i"/><arg name="orientation" type="s"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
 </interface>
</node>)xml";

// The sizes hosts draw at, from a 16 px panel to a HiDPI one; each scaled by the bundle itself.
constexpr int kPixmapSizes[] = {16, 22, 24, 32, 48, 64};

GVariant* NoPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

GVariant* Pixmaps(const wxBitmapBundle& image) {
    GVariantBuilder pixmaps;
    g_variant_builder_init(&pixmaps, G_VARIANT_TYPE("a(iiay)"));
    if (image.IsOk()) {
        for (const int size : kPixmapSizes) {
            const wxImage scaled = image.GetBitmap(wxSize(size, size)).ConvertToImage();
            if (!scaled.IsOk()) continue;
            const std::vector<std::uint8_t> pixels = ArgbPixels(scaled);
            g_variant_builder_add(
                &pixmaps, "(ii@ay)", scaled.GetWidth(), scaled.GetHeight(),
                g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixels.data(), pixels.size(), 1));
        }
    }
    return g_variant_builder_end(&pixmaps);
}

}  // namespace

std::vector<std::uint8_t> ArgbPixels(const wxImage& image) {
    const int count = image.GetWidth() * image.GetHeight();
    std::vector<std::uint8_t> argb(static_cast<size_t>(count) * 4);
    const unsigned char* rgb = image.GetData();
    const unsigned char* alpha = image.HasAlpha() ? image.GetAlpha() : nullptr;
    for (int i = 0; i < count; ++i) {
        std::uint8_t a = alpha ? alpha[i] : 255;
        if (!alpha && image.HasMask() && rgb[3 * i] == image.GetMaskRed() &&
            rgb[3 * i + 1] == image.GetMaskGreen() && rgb[3 * i + 2] == image.GetMaskBlue())
            a = 0;
        argb[4 * i] = a;
        argb[4 * i + 1] = rgb[3 * i];
        argb[4 * i + 2] = rgb[3 * i + 1];
        argb[4 * i + 3] = rgb[3 * i + 2];
    }
    return argb;
}

StatusNotifierItem::StatusNotifierItem(GDBusConnection* connection, MenuModel menu,
                                       DbusMenu::Callbacks callbacks,
                                       std::function<void()> activate)
    : m_connection(connection),
      m_activate(std::move(activate)),
      m_pixmaps(NoPixmaps()),
      m_menu(connection, std::move(menu), std::move(callbacks)) {
    static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable{
        &StatusNotifierItem::OnMethodCall, &StatusNotifierItem::OnGetProperty, nullptr, {}};
    // this as the data: m_registration unregisters it first, and GDBus calls nothing after that.
    const guint id = g_dbus_connection_register_object(connection, kPath, node->interfaces[0],
                                                       &vtable, this, nullptr, nullptr);
    if (id) m_registration = Registration(id, Unexport{connection});
}

void StatusNotifierItem::SetDisplay(const wxBitmapBundle& image, const wxString& tooltip,
                                    const std::string& iconName, bool attention) {
    // Every tick sets its display, mostly the one already shown: that costs three comparisons.
    if (!image.IsSameAs(m_image) || iconName != m_iconName) {
        m_image = image;
        m_iconName = iconName;
        m_pixmaps = VariantPtr(Pixmaps(image));
        Emit("NewIcon");
    }
    if (tooltip != m_tooltip) {
        m_tooltip = tooltip;
        Emit("NewToolTip");
    }
    if (attention != m_attention) {
        m_attention = attention;
        g_dbus_connection_emit_signal(m_connection, nullptr, kPath, kInterface, "NewStatus",
                                      g_variant_new("(s)", Status()), nullptr);
    }
}

// Hosts read the path again with the icon's name.
void StatusNotifierItem::SetIconThemePath(const std::string& dir) {
    if (dir == m_iconThemePath) return;
    m_iconThemePath = dir;
    Emit("NewIcon");
}

void StatusNotifierItem::Emit(const char* signal) {
    g_dbus_connection_emit_signal(m_connection, nullptr, kPath, kInterface, signal, nullptr,
                                  nullptr);
}

void StatusNotifierItem::OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                      const gchar* method, GVariant*,
                                      GDBusMethodInvocation* invocation, gpointer self) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    // A primary click of a host that does not open the menu itself; the menu is the item's
    // context menu, which hosts show on their own.
    if (std::strcmp(method, "Activate") != 0) return;
    Guarded(static_cast<StatusNotifierItem*>(self)->m_activate);
}

GVariant* StatusNotifierItem::OnGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar* property, GError** error,
                                            gpointer self) {
    GVariant* value = nullptr;
    Guarded([&] { value = static_cast<const StatusNotifierItem*>(self)->Property(property); },
            [&](const char*) {
                g_set_error_literal(error, G_DBUS_ERROR, G_DBUS_ERROR_FAILED, "failed");
            });
    return value;
}

GVariant* StatusNotifierItem::Property(const char* name) const {
    const auto is = [name](const char* known) { return std::strcmp(name, known) == 0; };
    if (is("Category")) return g_variant_new_string("ApplicationStatus");
    if (is("Id")) return g_variant_new_string("sentak");
    if (is("Title")) return g_variant_new_string("Sentak");
    if (is("Status")) return g_variant_new_string(Status());
    if (is("WindowId")) return g_variant_new_int32(0);
    // Hosts show the attention icon in the item's place while it needs attention: the same one.
    if (is("IconName") || is("AttentionIconName")) return g_variant_new_string(m_iconName.c_str());
    if (is("IconPixmap")) return g_variant_ref(m_pixmaps.get());
    if (is("IconThemePath")) return g_variant_new_string(m_iconThemePath.c_str());
    if (is("OverlayIconPixmap") || is("AttentionIconPixmap")) return NoPixmaps();
    if (is("ToolTip")) {
        // The first line is the title; the rest the body, which hosts render as markup.
        const wxString title = m_tooltip.BeforeFirst('\n');
        const wxString body = NotificationBody(m_tooltip.AfterFirst('\n'));
        return g_variant_new("(s@a(iiay)ss)", "", NoPixmaps(), title.utf8_str().data(),
                             body.utf8_str().data());
    }
    // Words for screen readers: what the tooltip says.
    if (is("IconAccessibleDesc") || is("AttentionAccessibleDesc"))
        return g_variant_new_string(m_tooltip.utf8_str().data());
    if (is("ItemIsMenu")) return g_variant_new_boolean(true);  // a left click opens it too
    if (is("Menu")) return g_variant_new_object_path(DbusMenu::kPath);
    return g_variant_new_string("");  // the other icons' names: none
}

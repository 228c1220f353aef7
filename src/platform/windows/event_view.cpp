#include "platform/windows/event_view.h"

namespace {

// text as an XPath string literal inside an XML document: the literal in single quotes (an XPath
// literal has no escape, so a name holding one is split with concat), then XML-escaped.
wxString Literal(const wxString& text) {
    wxString literal = "'" + text + "'";
    if (text.Contains("'")) {
        literal = text;
        literal.Replace("'", "', \"'\", '");
        literal = "concat('" + literal + "')";
    }
    literal.Replace("&", "&amp;");
    literal.Replace("<", "&lt;");
    literal.Replace(">", "&gt;");
    literal.Replace("\"", "&quot;");
    return literal;
}

wxString Xml(wxString text) {
    text.Replace("&", "&amp;");
    text.Replace("<", "&lt;");
    return text;
}

}  // namespace

wxString ServiceLogView(const wxString& service, const wxString& displayName) {
    // The manager's messages name a service by its display name (entered the running state,
    // terminated unexpectedly) or by its name (start type changed): either is one of its data.
    const wxString manager =
        "*[System[Provider[@Name='Service Control Manager']] and EventData[Data=" +
        Literal(displayName) + " or Data=" + Literal(service) + "]]";
    const wxString own = "*[System[Provider[@Name=" + Literal(service) + "]]]";
    return "<ViewerConfig><QueryConfig><QueryParams><UserQuery/></QueryParams><QueryNode><Name>" +
           Xml(displayName) +
           "</Name><QueryList><Query Id=\"0\" Path=\"System\"><Select Path=\"System\">" + manager +
           "</Select><Select Path=\"Application\">" + own +
           "</Select></Query></QueryList></QueryNode></QueryConfig></ViewerConfig>";
}

#include "tray/outage_texts.h"

#include <wx/intl.h>

#include "service/brand.h"
#include "service/text_decoding.h"
#include "tray/menu_text.h"
#include "tray/translations.h"

namespace {

// A translated format with the product name put in.
wxString WithProduct(const wxString& format) { return wxString::Format(format, GetProductName()); }

// The service's own line, quoted on one line of at most kLongestQuote characters.
wxString Quote(const wxString& said) {
    constexpr std::size_t kLongestQuote = 120;
    wxString line = OneLine(said).Trim().Trim(false);
    if (line.length() > kLongestQuote) {
        std::size_t cut = kLongestQuote - 1;
        // Never half a character where a string holds UTF-16 (Windows).
        const wxUint32 last = line[cut - 1].GetValue();
        if (last >= 0xD800 && last <= 0xDBFF) --cut;
        line = line.Left(cut) + wxString::FromUTF8("\u2026");
    }
    // TRANSLATORS: The service's own last words as it logged them, quoted; %s is its line. Use
    // your language's quotation marks.
    return wxString::Format(TranslatedFormat("\"%s\""), line);
}

wxString RestartsText(const RestartTally& restarts) {
    return wxString::Format(
        // TRANSLATORS: Greyed menu entry and tooltip line; %d is the number of restarts seen
        // since Sentak started, %s the date and time of the first.
        TranslatedPlural("Restarted %d time since %s", "Restarted %d times since %s",
                         unsigned(restarts.count)),
        restarts.count, LocalTimeText(restarts.firstAt));
}

}  // namespace

wxString UnknownTooltip() {
    // TRANSLATORS: Tray icon tooltip before the service has answered; %s is the product name,
    // e.g. "Vantora 3".
    return WithProduct(TranslatedFormat("%s Service status unknown"));
}

wxString RunningTooltip(const RestartTally& restarts) {
    // TRANSLATORS: Tray icon tooltip while the service answers; %s is the product name.
    wxString tooltip = WithProduct(TranslatedFormat("%s Service running"));
    if (restarts.count > 0) tooltip << "\n" << RestartsText(restarts);
    return tooltip;
}

wxString StoppedTooltip(const std::optional<OutageReason>& reason,
                        const std::optional<wxString>& ownWords) {
    // TRANSLATORS: Tray icon tooltip after the service stopped answering; %s is the product
    // name.
    wxString tooltip = WithProduct(TranslatedFormat("%s Service not running anymore"));
    // A second line: hosts that show a tooltip's title and body apart take it as the body.
    if (reason) tooltip << "\n" << ReasonText(*reason);
    if (ownWords) tooltip << "\n" << Quote(*ownWords);
    return tooltip;
}

Words StopNoticeWords(const std::optional<OutageReason>& reason,
                      const std::optional<wxString>& ownWords) {
    // TRANSLATORS: Body of the desktop notification when the service stops; %s is the product
    // name.
    wxString message = WithProduct(TranslatedFormat("The %s Service is not running anymore."));
    if (reason) message << "\n\n" << ReasonText(*reason);
    if (ownWords) message << "\n\n" << Quote(*ownWords);
    // TRANSLATORS: Title of the desktop notification when the service stops.
    return {_("Service not running"), message};
}

Words BackNoticeWords(std::chrono::seconds down) {
    const wxString message = wxString::Format(
        // TRANSLATORS: Body of the notification when the service answers again after its stop
        // was notified; the first %s is the product name, the second how long it was down, as
        // in "4 min".
        TranslatedFormat("The %s Service is running again after %s."), GetProductName(),
        DurationText(down));
    // TRANSLATORS: Title of the notification when the service answers again.
    return {_("Service running again"), message};
}

Words RestartNoticeWords(const std::optional<ServiceEnd>& lastEnd, const RestartTally& restarts) {
    wxString message = WithProduct(
        // TRANSLATORS: Body of the notification when the service's process was replaced without
        // Sentak asking; %s is the product name.
        TranslatedFormat("The %s Service stopped and was started again."));
    // How the last process ended, as the stop notice says it; a clean end needs no words.
    if (lastEnd && lastEnd->how != ServiceEnd::How::Clean)
        if (const auto reason = DecideReason(ServiceFacts{ServiceFacts::Now::Stopped, *lastEnd}))
            message << "\n\n" << ReasonText(*reason);
    message << "\n\n"
            << wxString::Format(
                   // TRANSLATORS: The last paragraph of that notification; %d is the number of
                   // restarts seen since Sentak started, %s the date and time of the first.
                   TranslatedPlural("It has restarted %d time since %s.",
                                    "It has restarted %d times since %s.",
                                    unsigned(restarts.count)),
                   restarts.count, LocalTimeText(restarts.firstAt));
    // TRANSLATORS: Title of the notification when the service was restarted without Sentak
    // asking.
    return {_("Service restarted"), message};
}

Words StartedAgainWords(const std::optional<wxString>& whereTheIconIs) {
    // TRANSLATORS: Body of the notification when Sentak is started while it runs already and
    // no system tray shows its icon; the quoted title is that of the notification that says why.
    const wxString noTray =
        _("No system tray shows its icon on this desktop: the notification "
          "\"No system tray shows Sentak's icon\" says what to do.");
    // TRANSLATORS: Title of a short notification when Sentak is started while it runs already.
    return {_("Sentak is already running"), whereTheIconIs.value_or(noTray)};
}

MenuModel FactsMenu(const FactsShown& facts) {
    const bool valid = facts.valid;
    const ServiceStatus& status = facts.status;
    const wxString product = LiteralLabel(GetProductName());
    // TRANSLATORS: Top entry of the tray menu when the service does not answer; %s is the product
    // name. The capitals are the warning.
    const wxString notRunning = TranslatedFormat("%s Service NOT RUNNING");
    MenuModel menu;
    const auto portFact = [&](int id, const wxString& label, std::int32_t port) {
        menu.Fact(id, wxString::Format("%s: %s", label, PortText(valid, port)));
    };

    if (facts.extended)
        menu.Fact(ID_LAST_UPDATED,
                  LastUpdatedText(valid ? status.lastUpdate() : facts.outageShownAt), true);
    menu.Fact(ID_SERVICE_HEADER, valid ? product : wxString::Format(notRunning, product), !valid);
    if (!valid && facts.reason)
        menu.Fact(ID_OUTAGE_REASON, LiteralLabel(ReasonText(*facts.reason)));
    if (!valid && facts.ownWords) menu.Fact(ID_OWN_WORDS, LiteralLabel(Quote(*facts.ownWords)));
    if (!valid && facts.logAdvice) menu.Fact(ID_LOG_ADVICE, LiteralLabel(*facts.logAdvice));
    if (valid && facts.runningSince)
        // TRANSLATORS: Greyed menu entry; %s is the date and time the service's process started.
        menu.Fact(ID_RUNNING_SINCE, wxString::Format(TranslatedFormat("Running since %s"),
                                                     LocalTimeText(*facts.runningSince)));
    if (valid && facts.restarts.count > 0) menu.Fact(ID_RESTARTS, RestartsText(facts.restarts));
    menu.Separator(ID_SEPARATOR_FACTS);
    // TRANSLATORS: %s is the service's version text, or "???" when it is not known.
    menu.Fact(ID_VERSION_FACT, wxString::Format(TranslatedFormat("Version: %s"),
                                                valid ? LiteralLabel(status.version()) : "???"));
    // TRANSLATORS: The port labels are shown as "label: 8080"; the colon and the number are
    // added by the program.
    portFact(ID_HTTP_PORT_FACT, _("HTTP port"), status.httpPort());
    portFact(ID_HTTPS_PORT_FACT, _("HTTPS port"), status.httpsPort());
    portFact(ID_RTSP_PORT_FACT, _("RTSP port"), status.rtspPort());
    // TRANSLATORS: %s is the port number, or "???" when there is none.
    const wxString remote = TranslatedFormat("Remote connection port: %s");
    menu.Fact(ID_REMOTE_PORT_FACT, wxString::Format(remote, PortText(valid, status.remotePort())));
    menu.Separator(ID_SEPARATOR_COMMANDS);
    return menu;
}

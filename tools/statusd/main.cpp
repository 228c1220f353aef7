// statusd: a stand-in for the service, serving its status record for demos and tests.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/status_pipe.h"
#include "service/text_decoding.h"
#include "status_server.h"
#include "status_service.h"

namespace {

const char kUsage[] =
    "Usage: statusd [OPTION]...\n"
    "Serves the service's 160-byte status record to every client that connects.\n"
    "\n"
    "  --version-text TEXT   version text, at most 33 UTF-16 units (default 3.4.1)\n"
    "  --http N              HTTP port of the web settings page (default 8080)\n"
    "  --https N             HTTPS port of the web settings page (default 0)\n"
    "  --rtsp N              RTSP port (default 554)\n"
    "  --remote N            remote connection port (default 0)\n"
    "  --last-update SECS    time of the last update in seconds since 1970 (default: now)\n"
    "  --path PATH           socket to serve (default: where the tray looks for it)\n"
    "  --service             run as a service of Windows' service control manager, which\n"
    "                        starts and stops it (register it with its options: sc create)\n"
    "  --slow-stop MS        with --service: take MS milliseconds to stop, reporting progress\n"
    "  --start-hint MS       with --service: the wait hint the start reports (default: the\n"
    "                        --slow-start delay and 3000 more)\n"
    "  --start-exit CODE     with --service: stop with exit code CODE when the --slow-start\n"
    "                        delay is over, instead of serving\n"
    "\n"
    "Faults, at most one:\n"
    "  --short N             write only the first N bytes of the record (0 to 160)\n"
    "  --close               accept and close without writing\n"
    "  --hang                accept and never write\n"
    "  --oversize N          write the record followed by filler, N bytes in all (over 160)\n"
    "  --drip MS             write the record one byte every MS milliseconds\n"
    "  --reset N             write the first N bytes of the record, then reset the connection\n"
    "  --keep-open           write the record and keep the connection open\n"
    "  --slow-start MS       start listening only after MS milliseconds\n"
    "\n"
    "  --last-words TEXT     on SIGUSR1 (Linux), give up as a failing service does: write TEXT to\n"
    "                        the standard error as an error (with the <3> that a journal reads\n"
    "                        as its priority), remove the socket and exit with code 3\n"
    "  --help                show this help\n"
    "Stops on SIGINT or SIGTERM, removing its socket.\n";

// A bad command line: reported in one line, exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

long long ParseInteger(const std::string& option, const std::string& text, long long low,
                       long long high) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high)
        throw UsageError(option + " wants an integer from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    return value;
}

std::u16string ToUtf16(const std::string& utf8) {
    std::u16string units;
    for (const wxUniChar c : DecodeUtf8(utf8.data(), utf8.size())) {
        const char32_t cp = c.GetValue();
        if (cp < 0x10000) {
            units += char16_t(cp);
        } else {
            units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return units;
}

struct Settings {
    std::string versionText = "3.4.1";
    std::int32_t http = 8080, https = 0, rtsp = 554, remote = 0;
    std::int64_t lastUpdate = std::time(nullptr);
    std::string path;
    ServeOptions options;
    std::string mode = "record";
    bool service = false;
    std::string lastWords;  // written as an error when it gives up on SIGUSR1
};

Settings ParseArguments(int argc, char** argv) {
    Settings settings;
    bool pathGiven = false;
    const auto setMode = [&settings](const std::string& option, ServeOptions::Mode mode) {
        if (settings.mode != "record")
            throw UsageError(option + " cannot be combined with --" + settings.mode);
        settings.mode = option.substr(2);
        settings.options.mode = mode;
    };
    constexpr long long kInt32Min = std::numeric_limits<std::int32_t>::min();
    constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i], value;
        bool hasValue = false;
        if (const auto equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != option.npos) {
            value = option.substr(equals + 1);
            option.erase(equals);
            hasValue = true;
        }
        const auto takeValue = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= argc) throw UsageError(option + " needs a value");
            return argv[++i];
        };
        const auto noValue = [&] {
            if (hasValue) throw UsageError(option + " takes no value");
        };
        if (option == "--help") {
            noValue();
            std::cout << kUsage;
            std::exit(0);
        } else if (option == "--version-text") {
            settings.versionText = takeValue();
            if (ToUtf16(settings.versionText).size() > ServiceStatus::kVersionUnits)
                throw UsageError("--version-text is longer than 33 UTF-16 units");
        } else if (option == "--http") {
            settings.http = std::int32_t(ParseInteger(option, takeValue(), kInt32Min, kInt32Max));
        } else if (option == "--https") {
            settings.https = std::int32_t(ParseInteger(option, takeValue(), kInt32Min, kInt32Max));
        } else if (option == "--rtsp") {
            settings.rtsp = std::int32_t(ParseInteger(option, takeValue(), kInt32Min, kInt32Max));
        } else if (option == "--remote") {
            settings.remote = std::int32_t(ParseInteger(option, takeValue(), kInt32Min, kInt32Max));
        } else if (option == "--last-update") {
            settings.lastUpdate =
                ParseInteger(option, takeValue(), std::numeric_limits<long long>::min(),
                             std::numeric_limits<long long>::max());
        } else if (option == "--path") {
            settings.path = takeValue();
            pathGiven = true;
        } else if (option == "--last-words") {
            settings.lastWords = takeValue();
        } else if (option == "--service") {
            noValue();
            settings.service = true;
        } else if (option == "--short") {
            const std::string length = takeValue();
            setMode(option, ServeOptions::Mode::Short);
            settings.options.shortLength =
                std::size_t(ParseInteger(option, length, 0, ServiceStatus::kSize));
        } else if (option == "--close") {
            noValue();
            setMode(option, ServeOptions::Mode::Close);
        } else if (option == "--hang") {
            noValue();
            setMode(option, ServeOptions::Mode::Hang);
        } else if (option == "--oversize") {
            const std::string length = takeValue();
            setMode(option, ServeOptions::Mode::Oversize);
            settings.options.oversizeLength =
                std::size_t(ParseInteger(option, length, ServiceStatus::kSize + 1, 64 << 20));
        } else if (option == "--drip") {
            const std::string interval = takeValue();
            setMode(option, ServeOptions::Mode::Drip);
            settings.options.dripInterval =
                std::chrono::milliseconds(ParseInteger(option, interval, 1, 60 * 1000));
        } else if (option == "--reset") {
            const std::string length = takeValue();
            setMode(option, ServeOptions::Mode::Reset);
            settings.options.shortLength =
                std::size_t(ParseInteger(option, length, 0, ServiceStatus::kSize));
        } else if (option == "--keep-open") {
            noValue();
            setMode(option, ServeOptions::Mode::KeepOpen);
        } else if (option == "--slow-start") {
            settings.options.startDelay =
                std::chrono::milliseconds(ParseInteger(option, takeValue(), 0, 3600 * 1000));
        } else if (option == "--slow-stop") {
            settings.options.stopDelay =
                std::chrono::milliseconds(ParseInteger(option, takeValue(), 0, 3600 * 1000));
        } else if (option == "--start-hint") {
            settings.options.startHint =
                std::chrono::milliseconds(ParseInteger(option, takeValue(), 0, 3600 * 1000));
        } else if (option == "--start-exit") {
            settings.options.startExit =
                std::uint32_t(ParseInteger(option, takeValue(), 0, 0xFFFFFFFF));
        } else {
            throw UsageError("unknown option '" + option + "' (try --help)");
        }
    }
    if (!pathGiven) settings.path = StatusPipePath();
    settings.options.record =
        MakeRecord(ToUtf16(settings.versionText), settings.http, settings.https, settings.rtsp,
                   settings.remote, settings.lastUpdate);
    return settings;
}

StatusServer* g_server = nullptr;
volatile std::sig_atomic_t g_givingUp = 0;

extern "C" void OnStopSignal(int signal) {
    if (signal == GiveUpSignal()) g_givingUp = 1;
    if (g_server) g_server->Stop();
}

// SIGINT and SIGTERM stop the server for as long as it lives; once it is going away they are
// ignored, so that a late signal neither reaches a dead server nor leaves its socket behind.
class StopOnSignals {
public:
    explicit StopOnSignals(StatusServer& server) {
        g_server = &server;
        for (const int signal : {SIGINT, SIGTERM, GiveUpSignal()})
            if (signal) std::signal(signal, OnStopSignal);
    }
    ~StopOnSignals() {
        for (const int signal : {SIGINT, SIGTERM, GiveUpSignal()})
            if (signal) std::signal(signal, SIG_IGN);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    try {
        settings = ParseArguments(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "statusd: " << e.what() << '\n';
        return 2;
    }
    if (settings.service) return RunAsService(settings.path, settings.options);
    try {
        StatusServer server(settings.path, settings.options);
        const StopOnSignals stopOnSignals(server);
        std::cerr << "statusd: serving " << settings.path << " (" << settings.mode << "): version "
                  << settings.versionText << ", HTTP " << settings.http << ", HTTPS "
                  << settings.https << ", RTSP " << settings.rtsp << ", remote " << settings.remote
                  << ", last update " << settings.lastUpdate;
        if (settings.options.startDelay.count() > 0)
            std::cerr << ", listening after " << settings.options.startDelay.count() << " ms";
        std::cerr << std::endl;
        server.Run();
        std::cerr << "statusd: stopped after " << server.ClientsServed() << " clients" << std::endl;
        if (g_givingUp && !settings.lastWords.empty()) {
            std::cerr << "<3>" << settings.lastWords << std::endl;
            return 3;
        }
    } catch (const std::exception& e) {
        std::cerr << "statusd: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

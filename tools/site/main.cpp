// The stand-in video site: lantrove-site [--port=N] [--media=FOLDER]
// [--settings] [switches...]. Without a port it takes a free one; the first
// line it prints is its address.
#include "SiteServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: lantrove-site [--port=N] [--media=FOLDER] [--settings] [--slow=MS]\n"
                 "         [--slow-path=P] [--drop=1|PATH] [--status=CODE] [--status-path=P]\n"
                 "         [--layout=1|2] [--stall=MS] [--pace=MS] [--per-page=N]\n"
                 "         [--chunked=1|0] [--title=TEXT]\n"
                 "         [--update-result=N]\n"
                 "         [--update-version=V] [--update-magic=W] [--update-modify=KEY=VALUE]\n"
                 "Switches can also be changed while it runs: GET /__site?slow=500&...\n");
}

} // namespace

int main(int argc, char** argv) {
    int port = 0;
    bool printSettings = false;
    std::string media = site::DefaultMediaFolder();
    site::Switches switches;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            Usage();
            return 2;
        }
        arg = arg.substr(2);
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const std::string value = eq == std::string::npos ? "1" : arg.substr(eq + 1);
        if (name == "port")
            port = std::atoi(value.c_str());
        else if (name == "media")
            media = value;
        else if (name == "settings")
            printSettings = true;
        else if (name == "help") {
            Usage();
            return 0;
        } else if (!site::ApplySwitch(switches, name, value)) {
            std::fprintf(stderr, "lantrove-site: unknown or bad switch --%s\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    site::SiteServer server(media);
    server.SetSwitches(switches);
    if (!server.Start(port)) {
        std::fprintf(stderr, "lantrove-site: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%s\n", server.Base().c_str());
    if (printSettings) {
        // Lines for the [setting] section of setting.dat.
        for (const auto& [key, value] : site::SiteSettings(server.Base())) {
            // Blanks at either end survive only inside quotes.
            const bool quote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
            std::printf(quote ? "%s=\"%s\"\n" : "%s=%s\n", key.c_str(), value.c_str());
        }
    }
    std::fflush(stdout);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    server.Stop();
    return 0;
}

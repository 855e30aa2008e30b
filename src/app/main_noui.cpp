// pellimor without the window: reads the command line as the window would and prints
// the listing of the chosen site.
#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/CacheScan.h"

int main(int argc, char** argv) {
    pellimor::CMovieApp app;
    app.InitInstance(std::vector<std::string>(argv + 1, argv + argc));
    if (app.m_options.help) {
        std::cout << "Usage: pellimor [/site:HOST] [--cache DIR] [--codepage N]\n";
        return 0;
    }
    pellimor::Session session(app.m_options);
    pellimor::ListingState state;
    state.site = app.m_strInitialSite;
    pellimor::ScanCache(state, session.listing());
    for (const auto& line : state.movieLines) {
        std::cout << line.text << "\n";
    }
    return 0;
}

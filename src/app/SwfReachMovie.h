// A movie that, in its first frame, tries every way a Flash movie has to reach a host:
// getURL, loadMovie, loadVariables, XMLSocket, LoadVars, XML, and script in the page around
// it (ExternalInterface and a "javascript:" address). For the tests of the player's page.
#pragma once

#include <string>

namespace pellimor {

// host and port: where every try goes (http://host:port/...); script: JavaScript the movie
// hands to the page, as a function body.
std::string MakeSwfReachMovie(const std::string& host, int port, const std::string& script);

}  // namespace pellimor

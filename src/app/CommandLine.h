// The command line: the "/site:" search kept as the program has always read it, and the
// program's own options read beside it.
#pragma once

#include <list>
#include <optional>
#include <string>
#include <vector>

namespace pellimor {

// Collects the flag parameters ("-x" or "/x", one mark removed) in command-line order.
class CParamCommandLineInfo {
  public:
    virtual ~CParamCommandLineInfo() = default;
    virtual void ParseParam(const std::string& param, bool isFlag, bool isLast);

    std::list<std::string> m_flagParams;
};

// Feeds every argument after the program name to info, as the framework does.
void ParseCommandLine(const std::vector<std::string>& arguments, CParamCommandLineInfo& info);

// The first flag longer than 6 bytes whose first five characters, lowered, are "site:";
// its value as written, or empty.
std::string FindInitialSite(const std::list<std::string>& flagParams);

// The program's own options; they do not change what the site search sees.
struct ProgramOptions {
    std::optional<std::string> cacheFolder;  // --cache DIR
    int codePage = 1252;                     // --codepage N
    bool readOnly = false;                   // --read-only: change nothing in the cache
    bool help = false;
    bool version = false;
    std::vector<std::string> rest;  // everything else, in order
    std::string error;              // a malformed option, for the user
};

ProgramOptions ReadProgramOptions(const std::vector<std::string>& arguments);

class CMovieApp {
  public:
    // Reads the command line (arguments after the program name).
    void InitInstance(const std::vector<std::string>& arguments);

    std::string m_strInitialSite;
    ProgramOptions m_options;
};

}  // namespace pellimor

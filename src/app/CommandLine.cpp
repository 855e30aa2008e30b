#include "app/CommandLine.h"

#include "ground/AsciiText.h"
#include "platform/urlcache/CodePage.h"

#include <charconv>

namespace pellimor {

namespace {

// The code pages Windows wrote caches in: DOS, ANSI, the East Asian double-byte ones, UTF-8.
constexpr int kWindowsCodePages[] = {
    437, 720, 737, 775, 850, 852,  855,  857,  858,  860,  861,  862,  863,  864,  865,  866,  869,
    874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 1361, 65001};

// The ones this system can decode and that keep ASCII, asked of the decoder itself.
std::string AcceptedCodePages() {
    std::string accepted;
    for (const int codePage : kWindowsCodePages) {
        if (CodePageKeepsAscii(codePage)) {
            accepted += (accepted.empty() ? "" : ", ") + std::to_string(codePage);
        }
    }
    return accepted;
}

}  // namespace

void CParamCommandLineInfo::ParseParam(const std::string& param, bool isFlag, bool /*isLast*/) {
    if (isFlag) {
        m_flagParams.push_back(param);
    }
}

void ParseCommandLine(const std::vector<std::string>& arguments, CParamCommandLineInfo& info) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isFlag = !argument.empty() && (argument[0] == '-' || argument[0] == '/');
        info.ParseParam(isFlag ? argument.substr(1) : argument, isFlag, i + 1 == arguments.size());
    }
}

std::string FindInitialSite(const std::list<std::string>& flagParams) {
    static constexpr std::string_view kPrefix = "site:";
    for (const std::string& flag : flagParams) {
        if (flag.size() <= 6) {
            continue;
        }
        if (StartsWithIgnoringCase(flag, kPrefix)) {
            return flag.substr(kPrefix.size());
        }
    }
    return {};
}

ProgramOptions ReadProgramOptions(const std::vector<std::string>& arguments) {
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto valueOf = [&](const std::string& name) -> std::optional<std::string> {
            if (argument.rfind(name + "=", 0) == 0) {
                return argument.substr(name.size() + 1);
            }
            if (argument == name) {
                if (i + 1 < arguments.size()) {
                    return arguments[++i];
                }
                options.error = name + " needs a value";
            }
            return std::nullopt;
        };
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--read-only") {
            options.readOnly = true;
        } else if (argument.rfind("--cache", 0) == 0 &&
                   (argument.size() == 7 || argument[7] == '=')) {
            if (auto value = valueOf("--cache")) {
                options.cacheFolder = *value;
            }
        } else if (argument.rfind("--codepage", 0) == 0 &&
                   (argument.size() == 10 || argument[10] == '=')) {
            if (auto value = valueOf("--codepage")) {
                int codePage = 0;
                const auto [end, status] =
                    std::from_chars(value->data(), value->data() + value->size(), codePage);
                if (status != std::errc() || end != value->data() + value->size() ||
                    codePage <= 0) {
                    options.error = "--codepage takes a Windows code page number, such as 1252";
                } else if (!CodePageKeepsAscii(codePage)) {
                    options.error = "code page " + *value +
                                    " is not supported: only one that keeps ASCII as it is can "
                                    "name files safely; accepted: " +
                                    AcceptedCodePages();
                } else {
                    options.codePage = codePage;
                }
            }
        } else {
            options.rest.push_back(argument);
        }
    }
    return options;
}

void CMovieApp::InitInstance(const std::vector<std::string>& arguments) {
    CParamCommandLineInfo info;
    ParseCommandLine(arguments, info);
    m_strInitialSite = FindInitialSite(info.m_flagParams);
    m_options = ReadProgramOptions(arguments);
}

}  // namespace pellimor

#include "cli/PackCommand.h"

#include <filesystem>
#include <ostream>

#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"

namespace harmoload {
namespace {

bool IsDriveColon(const std::string& text, size_t segmentStart, size_t colon) {
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return colon == segmentStart + 1 && isLetter(text[segmentStart]) && colon + 1 < text.size() &&
           (text[colon + 1] == '\\' || text[colon + 1] == '/');
}

// Would writing outPath overwrite one of the inputs before it is read?
bool OverwritesInput(const std::string& outPath, const std::vector<PackagePair>& pairs) {
    const auto asPath = [](const std::string& text) {
        return std::filesystem::path(std::u8string(text.begin(), text.end()));
    };
    for (const PackagePair& pair : pairs) {
        for (const std::string* input : {&pair.configPath, &pair.dataPath}) {
            std::error_code error;
            if (std::filesystem::equivalent(asPath(outPath), asPath(*input), error)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool ParsePairArgument(const std::string& argument, PackagePair& pair) {
    const size_t codeEnd = argument.find(':');
    if (codeEnd == std::string::npos) {
        return false;
    }
    const size_t configStart = codeEnd + 1;
    for (size_t colon = argument.find(':', configStart); colon != std::string::npos;
         colon = argument.find(':', colon + 1)) {
        if (IsDriveColon(argument, configStart, colon)) {
            continue;
        }
        pair.engineCode = argument.substr(0, codeEnd);
        pair.configPath = argument.substr(configStart, colon - configStart);
        pair.dataPath = argument.substr(colon + 1);
        return !pair.configPath.empty() && !pair.dataPath.empty();
    }
    return false;
}

int RunPackCommand(const PackOptions& options, std::ostream& err) {
    ConsoleNotifier notifier(err, err, false);
    PackageContents contents{options.model, options.version, options.holdKeys, {}};
    for (const std::string& argument : options.pairs) {
        PackagePair pair;
        if (!ParsePairArgument(argument, pair)) {
            err << "Usage: --pair takes CODE:CONFIG:DATA, not \"" << argument << "\".\n";
            return kExitUsage;
        }
        contents.pairs.push_back(pair);
    }
    if (OverwritesInput(options.outPath, contents.pairs)) {
        notifier.showMessage({"Error", "The package \"" + options.outPath +
                                           "\" would overwrite one of its own inputs."});
        return kExitFailed;
    }
    return BuildPackage(contents, options.outPath, notifier) ? kExitSuccess : kExitFailed;
}

}  // namespace harmoload

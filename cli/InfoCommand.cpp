#include "cli/InfoCommand.h"

#include <nlohmann/json.hpp>

#include <ostream>

#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"
#include "cli/FullPath.h"
#include "cli/JsonEvents.h"
#include "cli/TerminalText.h"
#include "package/PackageVerifier.h"
#include "update/InstructionText.h"

namespace harmoload {
namespace {

nlohmann::ordered_json PairsJson(const PackageRecord& record) {
    nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
    for (size_t i = 0; i < PairsInUse(record.pairCount); ++i) {
        const PairEntry& pair = record.pairs[i];
        pairs.push_back({{"index", i + 1},
                         {"engineCode", pair.engineCode},
                         {"engine", EngineName(EngineForCode(pair.engineCode))},
                         {"configOffset", pair.configOffset},
                         {"configSize", pair.configSize},
                         {"dataOffset", pair.dataOffset},
                         {"dataSize", pair.dataSize}});
    }
    return pairs;
}

void PrintText(std::ostream& out, const std::string& path, const OpenedPackage& package,
               const std::string& sentence) {
    // Every text of the package is escaped: it must not drive the terminal.
    const PackageRecord& record = package.record;
    out << "Package:     " << TerminalText(path) << '\n'
        << "Model:       " << TerminalText(package.model) << '\n'
        << "Version:     " << TerminalText(package.version) << '\n';
    for (size_t i = 0; i < record.holdKeys.size(); ++i) {
        out << "Hold key " << i + 1 << ":  " << TerminalText(record.holdKeys[i]) << '\n';
    }
    out << "Instruction: " << TerminalText(sentence) << '\n'
        << "Pair count:  " << static_cast<int>(record.pairCount) << " ("
        << PairsInUse(record.pairCount) << " in use)\n";
    for (size_t i = 0; i < PairsInUse(record.pairCount); ++i) {
        const PairEntry& pair = record.pairs[i];
        out << "Pair " << i + 1 << ":      engine code \"" << TerminalText(pair.engineCode)
            << "\" (" << EngineName(EngineForCode(pair.engineCode)) << "), configuration "
            << pair.configSize << " bytes at " << pair.configOffset << ", data " << pair.dataSize
            << " bytes at " << pair.dataOffset << '\n';
    }
}

}  // namespace

int RunInfoCommand(const std::string& packagePath, bool json, const IniFile& languageTable,
                   std::ostream& out, std::ostream& err) {
    const std::string path = FullPath(packagePath);
    OpenedPackage package;
    const PackageFault fault = ReadPackage(path, package);
    if (fault != PackageFault::None) {
        const Message message = PackageFaultMessage(languageTable, fault, path);
        if (json) {
            WriteJsonLine(
                out, {{"path", path},
                      {"valid", false},
                      {"error", {{"key", PackageFaultKey(fault)}, {"message", message.text}}}});
        } else {
            ConsoleNotifier(out, err, false).showMessage(message);
        }
        return kExitFailed;
    }

    const std::string sentence = HoldKeySentence(languageTable, package.record.holdKeys);
    if (json) {
        WriteJsonLine(out, {{"path", path},
                            {"valid", true},
                            {"model", package.model},
                            {"version", package.version},
                            {"holdKeys", package.record.holdKeys},
                            {"holdKeySentence", sentence},
                            {"pairCount", package.record.pairCount},
                            {"pairs", PairsJson(package.record)}});
    } else {
        PrintText(out, path, package, sentence);
    }
    return kExitSuccess;
}

}  // namespace harmoload

// harmoload-cli: the update tool's core behind a command line.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

#include "HarmoloadVersion.h"
#include "cli/ExitCodes.h"
#include "cli/InfoCommand.h"
#include "cli/PackCommand.h"
#include "cli/ProbeCommand.h"
#include "cli/UpdateCommand.h"
#include "lang/LanguageTable.h"
#include "platform/CommandLine.h"
#include "platform/LibrarySearch.h"
#include "platform/SystemLanguage.h"
#include "text/PathText.h"

int main(int argc, char** argv) {
    using namespace harmoload;
    RestrictLibrarySearch();

    CLI::App app{"Harmoload: writes firmware and sound-data updates into a USB instrument",
                 "harmoload-cli"};
    // "harmoload-cli 2.1.0": the name first, as help2man reads it for the manual page.
    const std::string versionText = std::string("harmoload-cli ") + kProgramVersion;
    app.set_version_flag("--version", versionText);
    app.require_subcommand(1);
    // Options are spelled --name on every system; "/path" is a path, never an option.
    app.allow_windows_style_options(false);

    std::string infoPath;
    bool infoJson = false;
    CLI::App* info = app.add_subcommand(
        "info", "Verify an update package as the dialog does and show what it holds");
    info->add_option("PACKAGE", infoPath, "The update package (.DAT)")->required();
    info->add_flag("--json", infoJson, "Print one JSON object");
    info->set_version_flag("--version", versionText);

    PackOptions pack;
    CLI::App* packCommand =
        app.add_subcommand("pack", "Build an update package with every sum filled in");
    packCommand->add_option("-o,--output", pack.outPath, "The package to write")->required();
    packCommand->add_option("--model", pack.model, "Product model (at most 16 bytes)")->required();
    packCommand->add_option("--version", pack.version, "Software version (at most 16 bytes)")
        ->required();
    packCommand->add_option("--key", pack.holdKeys,
                            "A key to hold at power-on (at most 8 bytes; up to 3 keys)");
    packCommand
        ->add_option("--pair", pack.pairs,
                     "CODE:CONFIG:DATA, engine code (R1: packet transfer, else flash), "
                     "configuration file and data file (1 to 3 pairs)")
        ->required();

    ProbeOptions probe;
    CLI::App* probeCommand =
        app.add_subcommand("probe", "Tell whether an instrument is attached, and through what");
    probeCommand->add_flag("--json", probe.json, "Print one JSON object");
    probeCommand->add_flag("--simulate", probe.simulate,
                           "Ask the built-in simulated instrument (described by HARMOLOAD_SIM)");
    probeCommand->add_option("--trace", probe.tracePath, "Log every transfer to this file");
    probeCommand->set_version_flag("--version", versionText);

    UpdateOptions update;
    CLI::App* updateCommand = app.add_subcommand(
        "update", "Write every pair of an update package into the instrument, as the dialog does");
    updateCommand->add_option("PACKAGE", update.packagePath, "The update package (.DAT)")
        ->required();
    updateCommand->add_flag("--yes", update.assumeYes, "Answer Yes to every question");
    updateCommand->add_flag("--json", update.json, "Print one JSON event per line");
    updateCommand->add_option("--trace", update.tracePath, "Log every transfer to this file");
    updateCommand->add_flag(
        "--simulate", update.simulate,
        "Update the built-in simulated instrument (described by HARMOLOAD_SIM)");
    updateCommand->set_version_flag("--version", versionText);
    // pack's --version is the package's software version (the command-line contract); the
    // program's version is "harmoload-cli --version" there.

    // Arguments in UTF-8 whatever the console's code page, so that any path arrives whole.
    // CLI11 takes them without the program's name and last first.
    std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    std::reverse(arguments.begin(), arguments.end());
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitSuccess : kExitUsage;
    }

    // What the core throws (out of memory, a file-system error) fails the command with a
    // message; it never aborts the program.
    try {
        IniFile languageTable;
        languageTable.setFile(ProgramDirectory() + LanguageFileName(SystemDefaultLangId()));
        if (*info) {
            return RunInfoCommand(infoPath, infoJson, languageTable, std::cout, std::cerr);
        }
        if (*updateCommand) {
            return RunUpdateCommand(update, languageTable, std::cin, std::cout, std::cerr);
        }
        if (*probeCommand) {
            return RunProbeCommand(probe, std::cout, std::cerr);
        }
        return RunPackCommand(pack, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "harmoload-cli: " << error.what() << '\n';
        return kExitFailed;
    }
}

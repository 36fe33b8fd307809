// The host tool's command line.
//
//   zeph_host [--module PATH | PATH] [--apdu HEX]... [--cycles N] [--timeout-ms MS]
//             [--state-queries N] [--trace LEVELS] [--no-atr-filter] [--dirs]
//   zeph_host [--module PATH | PATH] --diagnose [--json] [--reader NAME] [--trace LEVELS]
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

struct HostOptions {
    // Empty: the module the build puts beside the tool.
    std::string modulePath;
    // Sent in order in each cycle.
    std::vector<std::vector<uint8_t>> apdus;
    // End after this many cycles; none: run until stopped.
    std::optional<unsigned> cycles;
    // End the run through Cancel after this long.
    std::optional<std::chrono::milliseconds> timeout;
    // GetState calls after the commands, in each cycle.
    unsigned stateQueries = 3;
    // The module's trace levels for the trace system beside it ("info,error", "0x1F", "all");
    // empty: the module's trace stays as configured.
    std::string traceLevels;
    // Turn the object's ATR filter off (m_bAtrFilter = 0): every card in the reader is used,
    // for platforms whose PC/SC cannot locate cards by ATR (Wine 10).
    bool atrFilter = true;
    // Print what the directory library resolves for the product instead of running the cycle.
    bool dirs = false;
    // Report what the module sees and decides (DiagnosisOutput.h) instead of running the cycle;
    // as JSON; with the host's manual reader setting.
    bool diagnose = false;
    bool json = false;
    std::string manualReader;
};

struct ParsedHostOptions {
    using Outcome = zeph::tools::CommandLineOutcome;
    Outcome outcome = Outcome::Run;
    HostOptions options;
    std::string error;
};

// SELECT of the master file without response data: what each cycle sends unless told otherwise.
std::vector<uint8_t> DefaultApdu();

// Parses the arguments after the program name. Options take their value as the next argument or
// after '=' ("--cycles 2", "--cycles=2").
ParsedHostOptions ParseHostOptions(const std::vector<std::string_view>& args);

std::string HostUsage();

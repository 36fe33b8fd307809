// The virtual card's command line.
//
//   zeph_vcard [--host H] [--port N] [--connect-timeout MS] [--atr HEX] [--file FID=HEX]...
//              [--sw XXXX] [--drop-on HEX] [--drop-after N] [--silent] [--answer-delay MS]
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CardFileSystem.h"
#include "CommandLine.h"

namespace vcard {

struct VcardOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 35963;
    // How long to keep retrying the connection to the reader, at start and on "insert".
    std::chrono::milliseconds connectTimeout{10000};
    std::vector<uint8_t> atr;
    CardFileSystem files;
    uint16_t otherStatus = 0x6D00;
    // A command that starts with these bytes is not answered: the card drops the connection
    // instead, as a reader whose I/O fails in the middle of an exchange. Empty: never.
    std::vector<uint8_t> dropOn;
    // The connection is dropped on receipt of this command (counted from 1 on each connection),
    // without an answer, as a card that vanishes in the middle of an exchange. 0: never.
    uint32_t dropAfter = 0;
    // Commands are received and never answered, as a card that has stopped responding; the
    // reader driver's power and ATR requests are still answered.
    bool silent = false;
    // The card waits this long before each answer to a command.
    std::chrono::milliseconds answerDelay{0};
};

struct ParsedOptions {
    using Outcome = zeph::tools::CommandLineOutcome;
    Outcome outcome = Outcome::Run;
    VcardOptions options;
    std::string error;
};

// The predefined ATR the card presents unless told otherwise.
std::vector<uint8_t> DefaultAtr();

// Parses the arguments after the program name.
ParsedOptions ParseVcardOptions(const std::vector<std::string_view>& args);

std::string VcardUsage();

}  // namespace vcard

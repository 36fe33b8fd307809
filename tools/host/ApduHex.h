// Command APDUs as the host's command line gives them: hexadecimal text (one space, colon or dash
// between two pairs), checked against the shapes a command APDU can have, and bytes as text for
// the output.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Hex.h"

using zeph::tools::ToHex;

// Empty when the bytes are a whole command APDU, otherwise what is wrong with them. Accepted:
// the header CLA INS P1 P2 alone; with Le; with Lc and that many data bytes; with Lc, data and
// Le; each in short form (one-byte Lc and Le) or in extended form (a zero byte, then two-byte
// Lc and Le).
std::string ApduShapeError(std::span<const uint8_t> apdu);

// ParseHex (HexSeparators::OneBetweenPairs) and ApduShapeError together: the command, or null with
// error set.
std::optional<std::vector<uint8_t>> ParseApdu(std::string_view text, std::string& error);

// The bytes as text when every one of them is printable ASCII, otherwise empty.
std::string PrintableText(std::span<const uint8_t> bytes);

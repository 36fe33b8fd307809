// The card's command interpreter, without any transport: SELECT by file id and READ BINARY on a
// CardFileSystem, a fixed status word for everything else.
//
// SELECT by file id: CLA 00, INS A4, P1 00, 02 or 08, P2 any, Lc 02, the file id, optionally Le.
//   - P2 0C: no response data, 9000.
//   - any other P2: a file control parameters template and 9000, for the master file
//     62 07 82 01 38 83 02 3F 00, for an elementary file of N bytes
//     62 0B 80 02 N(2 bytes) 82 01 01 83 02 FID.
//   - unknown file id: 6A82, and the current selection stays as it was.
//   Selecting the master file leaves no elementary file current.
// READ BINARY: CLA 00, INS B0, P1 00-7F, P2, Le (one byte; 00 asks for 256 bytes); the offset is
//   P1 P2. Errors: 6986 no elementary file selected, 6B00 offset at or past the end of the file,
//   6282 with the bytes up to the end when the file holds fewer than asked.
// Every other command, SELECT and READ BINARY of any other shape included, gets the configured
// status word alone. A power cycle or reset forgets the selection.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "CardFileSystem.h"

namespace vcard {

class ApduResponder {
  public:
    ApduResponder(CardFileSystem files, uint16_t otherStatus);

    std::vector<uint8_t> Respond(std::span<const uint8_t> command);
    void Reset() { m_currentFile.reset(); }

  private:
    std::optional<std::vector<uint8_t>> Select(std::span<const uint8_t> command);
    std::optional<std::vector<uint8_t>> ReadBinary(std::span<const uint8_t> command) const;
    std::vector<uint8_t> ControlParameters(uint16_t fileId) const;

    CardFileSystem m_files;
    uint16_t m_otherStatus;
    std::optional<uint16_t> m_currentFile;  // the current elementary file
};

}  // namespace vcard

// The card's files: the master file 3F00, always there and holding no data, and transparent
// elementary files under it, each known by its two-byte file id.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace vcard {

class CardFileSystem {
  public:
    static constexpr uint16_t kMasterFile = 0x3F00;

    // Adds or replaces an elementary file; false for the master file's id.
    bool AddFile(uint16_t fileId, std::vector<uint8_t> data);
    bool Exists(uint16_t fileId) const;
    // The contents of an elementary file; null for the master file and unknown ids.
    const std::vector<uint8_t>* Contents(uint16_t fileId) const;

  private:
    std::map<uint16_t, std::vector<uint8_t>> m_files;
};

}  // namespace vcard

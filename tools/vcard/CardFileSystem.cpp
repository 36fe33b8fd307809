#include "CardFileSystem.h"

#include <utility>

namespace vcard {

bool CardFileSystem::AddFile(uint16_t fileId, std::vector<uint8_t> data) {
    if (fileId == kMasterFile) {
        return false;
    }
    m_files[fileId] = std::move(data);
    return true;
}

bool CardFileSystem::Exists(uint16_t fileId) const {
    return fileId == kMasterFile || m_files.contains(fileId);
}

const std::vector<uint8_t>* CardFileSystem::Contents(uint16_t fileId) const {
    const auto found = m_files.find(fileId);
    return found == m_files.end() ? nullptr : &found->second;
}

}  // namespace vcard

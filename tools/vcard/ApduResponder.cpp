#include "ApduResponder.h"

#include <algorithm>
#include <utility>

namespace vcard {

namespace {

constexpr uint8_t kInsSelect = 0xA4;
constexpr uint8_t kInsReadBinary = 0xB0;
constexpr uint8_t kP2NoResponseData = 0x0C;
constexpr size_t kHeaderLength = 4;
constexpr size_t kMaxShortLe = 256;

std::vector<uint8_t> StatusOnly(uint16_t status) {
    return {static_cast<uint8_t>(status >> 8), static_cast<uint8_t>(status & 0xFF)};
}

void AppendStatus(std::vector<uint8_t>& response, uint16_t status) {
    response.push_back(static_cast<uint8_t>(status >> 8));
    response.push_back(static_cast<uint8_t>(status & 0xFF));
}

bool IsSelectByFileId(std::span<const uint8_t> command) {
    const bool knownP1 = command[2] == 0x00 || command[2] == 0x02 || command[2] == 0x08;
    const bool lengthFits = command.size() == 7 || command.size() == 8;
    return command[1] == kInsSelect && knownP1 && lengthFits && command[4] == 2;
}

bool IsShortReadBinary(std::span<const uint8_t> command) {
    return command[1] == kInsReadBinary && command[2] < 0x80 && command.size() == 5;
}

}  // namespace

ApduResponder::ApduResponder(CardFileSystem files, uint16_t otherStatus)
    : m_files(std::move(files)), m_otherStatus(otherStatus) {}

std::vector<uint8_t> ApduResponder::Respond(std::span<const uint8_t> command) {
    std::optional<std::vector<uint8_t>> response;
    if (command.size() > kHeaderLength && command[0] == 0x00) {
        if (IsSelectByFileId(command)) {
            response = Select(command);
        } else if (IsShortReadBinary(command)) {
            response = ReadBinary(command);
        }
    }
    return response ? std::move(*response) : StatusOnly(m_otherStatus);
}

std::optional<std::vector<uint8_t>> ApduResponder::Select(std::span<const uint8_t> command) {
    const auto fileId = static_cast<uint16_t>(command[5] << 8 | command[6]);
    if (!m_files.Exists(fileId)) {
        return StatusOnly(0x6A82);
    }
    if (fileId == CardFileSystem::kMasterFile) {
        m_currentFile.reset();
    } else {
        m_currentFile = fileId;
    }
    std::vector<uint8_t> response;
    if (command[3] != kP2NoResponseData) {
        response = ControlParameters(fileId);
    }
    AppendStatus(response, 0x9000);
    return response;
}

std::optional<std::vector<uint8_t>> ApduResponder::ReadBinary(
    std::span<const uint8_t> command) const {
    if (!m_currentFile) {
        return StatusOnly(0x6986);
    }
    const std::vector<uint8_t>& contents = *m_files.Contents(*m_currentFile);
    const size_t offset = static_cast<size_t>(command[2] << 8 | command[3]);
    if (offset >= contents.size()) {
        return StatusOnly(0x6B00);
    }
    const size_t wanted = command[4] == 0 ? kMaxShortLe : command[4];
    const size_t count = std::min(wanted, contents.size() - offset);
    const auto first = contents.begin() + static_cast<std::ptrdiff_t>(offset);
    std::vector<uint8_t> response(first, first + static_cast<std::ptrdiff_t>(count));
    AppendStatus(response, count < wanted ? 0x6282 : 0x9000);
    return response;
}

std::vector<uint8_t> ApduResponder::ControlParameters(uint16_t fileId) const {
    const auto idHigh = static_cast<uint8_t>(fileId >> 8);
    const auto idLow = static_cast<uint8_t>(fileId & 0xFF);
    const std::vector<uint8_t>* contents = m_files.Contents(fileId);
    if (contents == nullptr) {
        return {0x62, 0x07, 0x82, 0x01, 0x38, 0x83, 0x02, idHigh, idLow};
    }
    const auto sizeHigh = static_cast<uint8_t>(contents->size() >> 8);
    const auto sizeLow = static_cast<uint8_t>(contents->size() & 0xFF);
    return {0x62, 0x0B, 0x80, 0x02, sizeHigh, sizeLow, 0x82, 0x01, 0x01, 0x83, 0x02, idHigh, idLow};
}

}  // namespace vcard

#include "sim/CardResponder.h"

#include <utility>

#include "vcard/ApduResponder.h"
#include "vcard/CardFileSystem.h"

namespace sim {

namespace {

class FunctionResponder final : public CardResponder {
  public:
    explicit FunctionResponder(ApduFunction respond) : m_respond(std::move(respond)) {}
    std::vector<uint8_t> Respond(std::span<const uint8_t> command) override {
        return m_respond(command);
    }

  private:
    ApduFunction m_respond;
};

class VirtualCard final : public CardResponder {
  public:
    VirtualCard(vcard::CardFileSystem files, uint16_t otherStatus)
        : m_card(std::move(files), otherStatus) {}
    std::vector<uint8_t> Respond(std::span<const uint8_t> command) override {
        return m_card.Respond(command);
    }
    void Reset() override { m_card.Reset(); }

  private:
    vcard::ApduResponder m_card;
};

}  // namespace

std::shared_ptr<CardResponder> RespondWith(ApduFunction respond) {
    return std::make_shared<FunctionResponder>(std::move(respond));
}

std::shared_ptr<CardResponder> VirtualCardResponder(
    const std::map<uint16_t, std::vector<uint8_t>>& files, uint16_t otherStatus) {
    vcard::CardFileSystem fileSystem;
    for (const auto& [fileId, contents] : files) {
        fileSystem.AddFile(fileId, contents);
    }
    return std::make_shared<VirtualCard>(std::move(fileSystem), otherStatus);
}

}  // namespace sim

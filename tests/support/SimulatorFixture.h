// A simulator with one reader and one context of the application under test, and the small
// helpers the simulator's tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "PcScSimulator.h"
#include "TestCards.h"

inline constexpr const char16_t* kReaderA = u"Reader A";
inline constexpr const char16_t* kReaderB = u"Reader B";
inline const std::vector<uint8_t> kAtr = {0x3B, 0x88, 0x80, 0x01, 0x00, 0x73, 0xC8, 0x40};

inline PcScReaderState Entry(const char16_t* reader, uint32_t current = SCARD_STATE_UNAWARE) {
    PcScReaderState entry{};
    entry.szReader = reader;
    entry.dwCurrentState = current;
    return entry;
}

inline uint32_t Bits(uint32_t state) {
    return state & 0xFFFF;
}

inline uint32_t EventCount(uint32_t state) {
    return state >> 16;
}

class SimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pcsc.AddReader(kReaderA));
        ASSERT_EQ(pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_S_SUCCESS);
    }

    uint32_t Connect(uint32_t shareMode, ScardHandle& card, uint32_t protocols = SCARD_PROTOCOL_T1,
                     const char16_t* reader = kReaderA) {
        uint32_t active = 0;
        return pcsc.Connect(context, reader, shareMode, protocols, &card, &active);
    }

    ScardHandle MustConnect(uint32_t shareMode) {
        ScardHandle card = 0;
        EXPECT_EQ(Connect(shareMode, card), SCARD_S_SUCCESS);
        return card;
    }

    // The reader's state as a poll reports it to a caller that knows nothing yet.
    uint32_t Observed(const char16_t* reader = kReaderA) {
        PcScReaderState entry = Entry(reader);
        EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_S_SUCCESS);
        return entry.dwEventState;
    }

    // An APDU exchange over T=1; the response, or the result alone when the call fails.
    uint32_t Exchange(ScardHandle card, const std::vector<uint8_t>& command,
                      std::vector<uint8_t>* response = nullptr) {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        std::vector<uint8_t> buffer(258);
        auto length = static_cast<uint32_t>(buffer.size());
        const uint32_t result =
            pcsc.Transmit(card, &pci, command.data(), static_cast<uint32_t>(command.size()),
                          nullptr, buffer.data(), &length);
        if (response != nullptr && result == SCARD_S_SUCCESS) {
            response->assign(buffer.begin(), buffer.begin() + length);
        }
        return result;
    }

    PcScSimulator pcsc;
    ScardContext context = 0;
};

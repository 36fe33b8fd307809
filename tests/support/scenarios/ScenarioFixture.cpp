#include "ScenarioFixture.h"

#include "WaitUntil.h"
#include "pcsc/PcScConstants.h"

void PcScScenario::SetUp() {
    m_stack = MakeScenarioStack();
    m_reader = Stack().ReaderName();
    m_context = NewContext();
    ASSERT_NE(m_context, 0u);
}

void PcScScenario::TearDown() {
    for (ScardContext context : m_contexts) {
        Api().ReleaseContext(context);
    }
    m_stack.reset();
}

ScardContext PcScScenario::NewContext() {
    ScardContext context = 0;
    EXPECT_EQ(Api().EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_S_SUCCESS);
    if (context != 0) {
        m_contexts.push_back(context);
    }
    return context;
}

bool PcScScenario::AwaitWaits(ScardContext context, size_t count) {
    return WaitUntil([&] { return m_stack->WaitsInProgress(context) >= count; }, kDeadline,
                     std::chrono::milliseconds(1));
}

PcScReaderState PcScScenario::ReaderState(ScardContext context) {
    PcScReaderState state{};
    state.szReader = m_reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    EXPECT_EQ(Api().GetStatusChange(context, 0, &state, 1), SCARD_S_SUCCESS);
    return state;
}

std::vector<std::u16string> PcScScenario::ListedReaders(ScardContext context) {
    PcScMemory list;
    std::vector<std::u16string> names;
    if (Api().ListReaders(context, nullptr, list) != SCARD_S_SUCCESS || list.Empty()) {
        return names;
    }
    for (const char16_t* name = list.Text(); *name != u'\0';) {
        names.emplace_back(name);
        name += names.back().size() + 1;
    }
    return names;
}

PcScReaderState PcScScenario::Known(ScardContext context) {
    PcScReaderState state = ReaderState(context);
    state.dwCurrentState = state.dwEventState;
    return state;
}

uint32_t PcScScenario::Connect(ScardContext context, ScardHandle* card, uint32_t shareMode) {
    uint32_t protocol = 0;
    return Api().Connect(context, m_reader.c_str(), shareMode, SCARD_PROTOCOL_T1, card, &protocol);
}

uint32_t PcScScenario::Select(ScardHandle card, std::vector<uint8_t>* answer, uint32_t* capacity) {
    const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    uint8_t buffer[258] = {};
    uint32_t length = capacity != nullptr ? *capacity : sizeof(buffer);
    const uint32_t result =
        Api().Transmit(card, &pci, kSelectMasterFile.data(),
                       static_cast<uint32_t>(kSelectMasterFile.size()), nullptr, buffer, &length);
    if (capacity != nullptr) {
        *capacity = length;
    }
    if (answer != nullptr) {
        answer->assign(buffer, buffer + (result == SCARD_S_SUCCESS ? length : 0));
    }
    return result;
}

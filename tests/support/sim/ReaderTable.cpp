#include "sim/ReaderTable.h"

#include <algorithm>

namespace sim {

SimReader* ReaderTable::Add(const std::u16string& name) {
    if (Find(name) != nullptr) {
        return nullptr;
    }
    SimReader& reader = m_readers.emplace_back();
    reader.id = m_nextId++;
    reader.name = name;
    return &reader;
}

bool ReaderTable::Remove(const std::u16string& name) {
    const auto found = std::find_if(m_readers.begin(), m_readers.end(),
                                    [&name](const SimReader& r) { return r.name == name; });
    if (found == m_readers.end()) {
        return false;
    }
    m_readers.erase(found);
    return true;
}

SimReader* ReaderTable::Find(std::u16string_view name) {
    const auto found = std::find_if(m_readers.begin(), m_readers.end(),
                                    [name](const SimReader& r) { return r.name == name; });
    return found == m_readers.end() ? nullptr : &*found;
}

const SimReader* ReaderTable::Find(std::u16string_view name) const {
    return const_cast<ReaderTable*>(this)->Find(name);
}

SimReader* ReaderTable::FindById(uint64_t id) {
    const auto found = std::find_if(m_readers.begin(), m_readers.end(),
                                    [id](const SimReader& r) { return r.id == id; });
    return found == m_readers.end() ? nullptr : &*found;
}

std::u16string ReaderTable::MultiString() const {
    std::u16string names;
    for (const SimReader& reader : m_readers) {
        names += reader.name;
        names += u'\0';
    }
    if (!names.empty()) {
        names += u'\0';
    }
    return names;
}

}  // namespace sim

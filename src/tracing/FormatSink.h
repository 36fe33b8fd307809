// Receiver of expanded format text, so that each consumer stores or converts the text as it
// arrives instead of building an intermediate string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zeph::trace {

template <typename Char>
class FormatSink {
  public:
    virtual void Append(std::basic_string_view<Char> text) = 0;
    virtual void AppendRepeated(Char unit, size_t count) = 0;

  protected:
    FormatSink() = default;
    FormatSink(const FormatSink&) = default;
    FormatSink& operator=(const FormatSink&) = default;
    ~FormatSink() = default;
};

// Appends the expanded text to a string.
template <typename Char>
class StringSink final : public FormatSink<Char> {
  public:
    explicit StringSink(std::basic_string<Char>& target) : m_target(target) {}

    void Append(std::basic_string_view<Char> text) override { m_target.append(text); }
    void AppendRepeated(Char unit, size_t count) override { m_target.append(count, unit); }

  private:
    std::basic_string<Char>& m_target;
};

}  // namespace zeph::trace

// A small writer of JSON text: objects, arrays, strings (escaped as JSON requires, the text taken
// as UTF-8), numbers and booleans, indented by two blanks per level.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
  public:
    // Members of the enclosing object take their name; elements of an array pass none.
    JsonWriter& BeginObject(std::string_view name = {});
    JsonWriter& BeginArray(std::string_view name = {});
    JsonWriter& End();
    JsonWriter& String(std::string_view name, std::string_view value);
    JsonWriter& Number(std::string_view name, int64_t value);
    JsonWriter& Bool(std::string_view name, bool value);

    // The text once every object and array has ended.
    const std::string& Text() const { return m_text; }

  private:
    void Member(std::string_view name);
    void Quote(std::string_view text);

    struct Level {
        char close;
        bool hasMembers;
    };

    std::string m_text;
    std::vector<Level> m_levels;
};

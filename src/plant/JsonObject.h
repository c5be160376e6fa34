#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A flat JSON object written member by member: {"a":1,"b":"x"}.
class JsonObject {
  public:
    JsonObject& text(std::string_view key, std::string_view value);
    JsonObject& number(std::string_view key, long long value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    // `json` as it is: an object or array written by another JsonObject.
    JsonObject& raw(std::string_view key, std::string_view json);
    std::string finish() &&;

  private:
    void key(std::string_view name);
    std::string out_ = "{";
};

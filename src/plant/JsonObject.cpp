#include "plant/JsonObject.h"

#include "plant/JsonText.h"

void JsonObject::key(std::string_view name) {
    if (out_.size() > 1) {
        out_ += ',';
    }
    appendJsonString(out_, name);
    out_ += ':';
}

JsonObject& JsonObject::text(std::string_view name, std::string_view value) {
    key(name);
    appendJsonString(out_, value);
    return *this;
}

JsonObject& JsonObject::number(std::string_view name, long long value) {
    key(name);
    out_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::boolean(std::string_view name, bool value) {
    key(name);
    out_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::null(std::string_view name) {
    key(name);
    out_ += "null";
    return *this;
}

JsonObject& JsonObject::raw(std::string_view name, std::string_view json) {
    key(name);
    out_ += json;
    return *this;
}

std::string JsonObject::finish() && {
    out_ += '}';
    return std::move(out_);
}

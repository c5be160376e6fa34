#include "plant/StatePayload.h"

#include "plant/JsonObject.h"

std::string statePayload(const PlantMachineState& state, std::string_view station) {
    JsonObject json;
    json.text("station", station)
        .boolean("online", true)
        .text("link", state.link)
        .boolean("framesArriving", state.framesArriving);
    const std::pair<const char*, std::int32_t> values[] = {
        {"count", state.count}, {"function", state.function},
        {"pitch", state.pitch}, {"speed", state.speed},
        {"s1", state.s1},       {"s2", state.s2},
        {"s3", state.s3},       {"preset", state.preset}};
    for (const auto& [name, value] : values) {
        if (state.known) {
            json.number(name, value);
        } else {
            json.null(name);
        }
    }
    if (state.known) {
        json.boolean("presetOn", state.presetOn);
    } else {
        json.null("presetOn");
    }
    return std::move(json).finish();
}

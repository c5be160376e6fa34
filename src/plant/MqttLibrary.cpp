#include "plant/MqttLibrary.h"

#include <mosquitto.h>

#include <mutex>

void initialiseMqttLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

#pragma once

// libmosquitto's one-time set-up (its OpenSSL start included), done once per
// process whichever thread asks first. Every user of libmosquitto in the
// program calls it before its first client.
void initialiseMqttLibrary();

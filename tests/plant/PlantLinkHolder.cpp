// A process that holds a plant link, for the tests that kill one:
// plant_link_holder <journal> <host> <port> <station>. Prints each status
// line as it changes; runs until it is killed.
#include <poll.h>

#include <cstdio>
#include <cstdlib>

#include "plant/PlantLink.h"
#include "plant/PlantWake.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: plant_link_holder <journal> <host> <port> <station>\n");
        return 2;
    }
    PlantConfig config;
    config.host = argv[2];
    config.port = std::atoi(argv[3]);
    config.station = argv[4];
    PlantWake changed;
    PlantLink link(argv[1], [&changed] { changed.signal(); });
    link.start(config);
    for (;;) {
        pollfd entry{changed.fd(), POLLIN, 0};
        ::poll(&entry, 1, -1);
        changed.drain();
        std::printf("status: %s\n", link.statusText().c_str());
        std::fflush(stdout);
    }
}

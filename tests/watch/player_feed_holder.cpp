// A program that watches with a player and then waits to be killed, so a test can end it the
// way a crash or a SIGKILL ends the real program. Usage: player_feed_holder COMMAND
#include <unistd.h>

#include <cstdio>

#include "watch/player_feed.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    CPlayerFeed feed;
    CPlayerFeed::Options options;
    options.argv = CPlayerFeed::ShellCommand(argv[1]);
    std::string error;
    if (!feed.Start(std::move(options), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (;;) ::pause();
}

#pragma once

// SIGINT, SIGTERM and SIGHUP end the simulator cleanly: the handler only
// marks the stop and writes a byte to a pipe that every wait of the
// simulator polls, so no write or pause outlasts the signal.
class StopSignal {
public:
    // Throws Exception when the pipe or the handlers cannot be set up.
    static void install();
    static int fd();
    static bool raised();
};

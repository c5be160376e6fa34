#pragma once

#include <functional>

// Runs a program's body. A std::system_error or std::bad_alloc that reaches
// it (no descriptors, threads or memory left while starting up) becomes a
// message on standard error, "<program>: cannot go on: <what>", and exit
// status 1, never an abort.
int runGuarded(const char* program, const std::function<int()>& body);

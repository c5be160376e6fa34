#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

using EnvOverrides = std::vector<std::pair<std::string, std::string>>;

// Starts `program` with `args`, this process's environment with `overrides`
// applied, and standard output and error appended to `output`. -1 on failure.
pid_t spawnProcess(const std::string& program, const std::vector<std::string>& args,
                   const EnvOverrides& overrides, const std::string& output);

// Waits for the child to end; its exit status, or -1 when it did not exit.
int waitProcess(pid_t pid);

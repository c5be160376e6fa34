#pragma once

#include <chrono>
#include <filesystem>
#include <string>

// A pseudo-terminal pair; the master is the machine's end of the wire, the
// slave is linked into the panel's ports folder as a COM name.
class Pty {
  public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    void linkAs(const std::filesystem::path& portsDir, const std::string& comName) const;
    // Points an existing name at this pty instead, as a re-plugged adapter
    // that comes back as another device would.
    void relinkAs(const std::filesystem::path& portsDir, const std::string& comName) const;
    void write(const std::string& bytes) const;
    // Writes what the line takes now, without waiting for room: a machine
    // that streams into a port nobody reads.
    void offer(const std::string& bytes) const;
    // Everything that arrives until the line is quiet for `quiet`.
    std::string read(std::chrono::milliseconds quiet = std::chrono::milliseconds(100)) const;
    // Closes the master: to the panel the device has gone.
    void unplug();

  private:
    int master_;
    std::string slavePath_;
};

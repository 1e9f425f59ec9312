#pragma once

#include <memory>
#include <string>

namespace krl {

// One pseudo-terminal: the master end, held here, and the path of the slave end, which a
// program opens as its serial port. The slave is kept open here too, raw, so that the master
// stays usable while no program has the port open and the line discipline never echoes or
// translates what passes.
class PseudoTerminal {
public:
    // Nullptr with the reason in *error when no pseudo-terminal can be had.
    static std::unique_ptr<PseudoTerminal> create(std::string* error = nullptr);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Non-blocking master descriptor, or -1 once closed.
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // Closes both ends held here: a program that has the slave open then sees its device gone.
    void close();

private:
    PseudoTerminal(int master, int slave, std::string slavePath);

    int master_;
    int slave_;
    std::string slavePath_;
};

}  // namespace krl

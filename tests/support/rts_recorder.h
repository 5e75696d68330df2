#pragma once
// Stands in for the port's RTS line, which a pseudo-terminal does not have: records each change
// among a panel's events ("rts clear", "rts set"), so that a test sees the reset pulse in one
// order with the pauses around it.

#include <string>
#include <vector>

#include "core/link/modem_control.h"

class RtsRecorder : public ModemControl {
public:
    explicit RtsRecorder(std::vector<std::string>& events) : events_(events) {}
    void setRts(bool active) override { events_.emplace_back(active ? "rts set" : "rts clear"); }

private:
    std::vector<std::string>& events_;
};

#pragma once
// A command another program sends to the radio through the transceiver: the
// automation server's loggers and the hamlib programs of the rigctl port.

// Runs the command; true when it reached the rig server without an error.
// Nothing raises out of it: a client must never be crashed or hung by a radio
// that is switched off.
template <class TCommand>
bool SentToRig(TCommand&& command) noexcept
{
    try {
        command();
        return true;
    } catch (...) {
        return false;
    }
}

#include "ports/PortSession.h"

bool Dropped(const IPortSession& session, const TPortLimits& limits)
{
    return session.Overflowed() || session.Refused() || session.Output().size() > limits.MaxPendingOutput;
}

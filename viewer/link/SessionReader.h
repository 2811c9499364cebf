// The read a socket's readiness asks for, on the driver's side of the
// sans-I/O session: one read of at most kReadBytes from the transport,
// handed to the session with whether the connection was found closed.
#pragma once

#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderTransport.h"

namespace dvr::link {

// Nothing while the transport is closed.
void readOnce(RecorderTransport& transport, RecorderSession& session);

}  // namespace dvr::link

#pragma once

// Process-wide state of the stand-in that the client and the discovery share.

namespace orvix {

void CountMalformedDatagram();

}  // namespace orvix

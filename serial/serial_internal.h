// What the serial link shares with the oscilloscope library's own reads, and not
// with the libraries' users (it is not installed).
#pragma once

// Called after a transfer's ReadFile or WriteFile failed: a line error is cleared,
// a port that is gone is recorded and named.
void serialTransferFailed(void);

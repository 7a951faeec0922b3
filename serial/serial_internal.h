// What the serial link shares with the oscilloscope library's own reads, and not
// with the libraries' users (it is not installed).
#pragma once

// Called after a transfer's `call` (ReadFile, WriteFile, ClearCommError) failed: the
// failure is named; a line error is cleared, a port that is gone is recorded.
void serialTransferFailed(const char *call);

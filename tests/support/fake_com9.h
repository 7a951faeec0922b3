// COM9 opened on a fresh in-memory port, its connect line kept off the test's
// standard output:
//
//   ASSERT_NE(openFakeCom9(), nullptr);
//   fakePort::queue("reply\n");
#pragma once

#include "capture_stdout.h"
#include "fake_port.h"
#include "serial.h"

inline HANDLE openFakeCom9()
{
    fakePort::reset();
    StdoutCapture quiet;
    HANDLE h = openComPort(9, 19200, '8', 'N');
    quiet.finish();
    return h;
}

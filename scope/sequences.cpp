// Fixed command sequences: instrument set-up, polling, and the time-base delay sweep.
#include "scope.h"

#include "serial.h"

#include <stdio.h>

int scopeSetupSweep(int port)
{
    printf("starting....\n");
    ScopeSendCmd(port, "*RST\r");
    waitTicks(600);
    scopeQuery(port, ":SYST:ERR?\r");
    waitTicks(600);
    ScopeSendCmd(port, ":AUT\r");
    waitTicks(600);
    scopeQuery(port, ":SYST:ERR?\r");
    waitTicks(600);
    waitTicks(600);
    scopeQuery(port, ":SYST:ERR?\r");
    waitTicks(600);
    ScopeSendCmd(port, ":chan2:inv 1\r");
    waitTicks(600);
    scopeQuery(port, "*idn?\r");
    waitTicks(600);
    scopeQuery(port, "*lrn?\r");
    waitTicks(600);
    scopeQuery(port, ":TRIG:FREQ?\r");
    ScopeSendCmd(port, ":DISP:WAV 0\r");
    ScopeSendCmd(port, ":SINGLE\r");
    waitTicks(600);
    scopeReadAquire(port, '1');
    scopeReadAquire(port, '2');

    // d stays single precision: its rounding is what makes the sweep 40 steps
    char command[120];
    float d = -0.003f;
    while (0.001 > (double)d) {
        printf(":TIM:DEL %7.1f\r\n", (double)d);
        snprintf(command, sizeof command, ":TIM:DEL %7.1E\r\n", (double)d);
        ScopeSendCmd(port, command);
        waitTicks(600);
        d = (float)((double)d + 0.0001);
        printf("inc :TIM:DEL %7.1E\r\n", (double)d);
    }
    return 0;
}

int scopeSetup(int port)
{
    printf("Setting Scope....\n");
    ScopeSendCmd(port, "*RST\r");
    waitTicks(600);
    ScopeSendCmd(port, ":AUT\r");
    waitTicks(600);
    scopeQuery(port, ":SYST:ERR?\r");
    scopeQuery(port, "*idn?\r");
    scopeQuery(port, "*lrn?\r");
    return 0;
}

int scopePollBoth(int port)
{
    printf("Polling waveform....\n");
    scopeQuery(port, "*idn?\r");
    scopeQuery(port, "*lrn?\r");
    scopeReadAquire(port, '1');
    scopeReadAquire(port, '2');
    return 0;
}

// Opening, configuring and closing the one serial port.
#include "serial.h"
#include "serial_internal.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

SerialState serialState;

static int openedPort = 0;
static int portLost = 0;
static int stopStatus = -1;

// A step after the port opened failed: its line is printed; it is named on standard
// error too, with the system's reason, and the port is not left locked.
static HANDLE openFailed(int port, const char *call, const char *reason)
{
    fprintf(stderr, "%s: COM%d: %s failed: %s\n", platformProgramName(), port, call, reason);
    CloseHandle(serialState.hComm);
    return NULL;
}

HANDLE openComPort(int port, int baud, char dataBits, char parity)
{
    // COM1 to COM9 open by their DOS names; from COM10 on Windows opens a port only
    // by its device path, \\.\COM10. The messages name the port COMn either way.
    char name[24] = {'C', 'O', 'M', ' ', '\0'};
    const char *shown = name;
    if (port >= 0 && port <= 9) {
        name[3] = (char)(port + '0');
    } else {
        snprintf(name, sizeof name, "\\\\.\\COM%d", port);
        shown = name + 4;
    }
    openedPort = port;
    portLost = 0;

    serialState.hComm = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    // INVALID_HANDLE_VALUE and null both read as not above zero in 32 bits
    if ((int32_t)(intptr_t)serialState.hComm <= 0) {
        printf("serial port COM%d connect fail %s error %d\n\r", port, shown, (int)GetLastError());
        return NULL;
    }
    // A line error left by an earlier user would fail every read while
    // fAbortOnError is set; start from a clean line.
    ClearCommError(serialState.hComm, NULL, NULL);

    char reason[200];
    if (!SetupComm(serialState.hComm, 128, 128)) {
        platformErrorText(reason, sizeof reason);
        printf("serial port COM%d SetupComm fail  %d\n\r", port, (int)GetLastError());
        return openFailed(port, "SetupComm", reason);
    }

    DCB dcb;
    if (!GetCommState(serialState.hComm, &dcb)) {
        platformErrorText(reason, sizeof reason);
        printf("serial port COM%d  GetCommState fail  %d\n\r", port, (int)GetLastError());
        return openFailed(port, "GetCommState", reason);
    }
    dcb.BaudRate = (DWORD)baud;
    dcb.ByteSize = dataBits == '7' ? 7 : 8;
    dcb.Parity = parity == 'E' ? EVENPARITY : parity == 'O' ? ODDPARITY : NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fAbortOnError = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    if (!SetCommState(serialState.hComm, &dcb)) {
        platformErrorText(reason, sizeof reason);
        printf("serial port COM%d  SetCommState fail  %d\n\r", port, (int)GetLastError());
        return openFailed(port, "SetCommState", reason);
    }

    COMMTIMEOUTS timeouts;
    GetCommTimeouts(serialState.hComm, &timeouts);
    timeouts.ReadIntervalTimeout = 100;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = 5;
    timeouts.WriteTotalTimeoutMultiplier = 1;
    if (!SetCommTimeouts(serialState.hComm, &timeouts)) {
        platformErrorText(reason, sizeof reason);
        printf("serial port COM%d SetCommTimeouts fail  %d\n\r", port, (int)GetLastError());
        return openFailed(port, "SetCommTimeouts", reason);
    }

    printf(" serial port COM%d connect OK \n\r", port);
    return serialState.hComm;
}

void closeComPort(int port)
{
    (void)port;
    CloseHandle(serialState.hComm);
}

void waitTicks(int ticks)
{
    int32_t start = platformClockMs();
    int32_t target = (int32_t)((uint32_t)start + (uint32_t)ticks);
    while (platformClockMs() < target) {
    }
}

void serialNameProgram(const char *name) { platformNameProgram(name); }

void serialStopWhenLost(int exitStatus) { stopStatus = exitStatus; }

int serialPortLost(void) { return portLost; }

void serialTransferFailed(const char *call)
{
    if (portLost)
        return;
    char reason[200];
    platformErrorText(reason, sizeof reason);
    // a line error (fAbortOnError) fails a transfer too, but ClearCommError clears it;
    // what the transfer carried is lost all the same
    if (ClearCommError(serialState.hComm, NULL, NULL)) {
        fprintf(stderr, "%s: COM%d: %s failed: %s\n", platformProgramName(), openedPort, call, reason);
    } else {
        platformErrorText(reason, sizeof reason);
        portLost = 1;
        fprintf(stderr, "%s: COM%d was lost (the device was removed): %s\n", platformProgramName(), openedPort, reason);
    }
    if (stopStatus >= 0) {
        fflush(stdout);
        exit(stopStatus);
    }
}

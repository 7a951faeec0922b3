// Sending commands to the oscilloscope and reading numeric replies.
#include "scope.h"

#include "serial.h"
#include "serial_internal.h"
#include "scope_internal.h"

#include <stdio.h>
#include <string.h>

void ScopeSendCmd(int port, const char *command)
{
    printf("\n\n==============================================\n\r");
    printf("\n\r ScopeSendCmd: %s \n\r", command);
    writeBytes(port, command, (int)strlen(command));
}

float scopeQuery(int port, const char *command)
{
    char reply[1000];
    memset(reply, 0, sizeof reply);
    ScopeSendCmd(port, command);
    waitTicks(600);
    serialState.scopeQueryRead = 0;
    if (!serialPortLost() && !ReadFile(serialState.hComm, reply, 999, &serialState.scopeQueryRead, NULL))
        serialTransferFailed("ReadFile");
    return scopeParseReply(reply, serialState.scopeQueryRead);
}

float scopeParseReply(char *reply, DWORD count)
{
    float result = 0.0f;
    reply[count <= 999 ? count : 999] = '\0';
    reply[999] = '\0';
    sscanf(reply, "%g", &result);
    printf("%5d,%E,%s\n", (int)count, (double)result, reply);
    return result;
}

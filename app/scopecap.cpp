// scopecap: captures both channels of the oscilloscope on COM9 to ./op_scope.csv
// and ./gbookFtemp.js, logging every step to standard output.
//
// Exit status: 0 for a complete capture, 1 when the port cannot be opened,
// 2 when the capture is incomplete, the port was lost or a file could not be written.
// Stopped by SIGINT or SIGTERM (Ctrl-C or Ctrl-Break on Windows) it removes the
// capture's temporary files, so the earlier capture stays as it was, and ends as that
// signal ends a program.
#include "capture_file.h"
#include "learn.h"
#include "scope.h"
#include "serial.h"
#include "stored_sample.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#ifdef __MINGW32__
// the command line is split into arguments without wildcard expansion
int _dowildcard = 0;
#endif

static const int kPort = 9;

#ifdef _WIN32
// runs on a thread of its own; the default handler after it ends the process with
// STATUS_CONTROL_C_EXIT
static BOOL WINAPI onConsoleStop(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT)
        captureFilesAbandon();
    return FALSE;
}

static void handleStops(void) { SetConsoleCtrlHandler(onConsoleStop, TRUE); }
#else
// the action is back to the default on entry, so the signal raised again ends the
// process once the handler returns
static void onStop(int sig)
{
    captureFilesAbandon();
    raise(sig);
}

static void handleStops(void)
{
    struct sigaction action = {};
    action.sa_handler = onStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, NULL);
    sigaction(SIGTERM, &action, NULL);
}
#endif

static void openOrExit(void)
{
    if (openComPort(kPort, 19200, '8', 'N') == NULL) {
        printf("Opening Port Failed");
        waitTicks(5000);
        exit(1);
    }
}

int main(int argc, char **argv, char **envp)
{
    (void)argc;
    (void)argv;
    (void)envp;
    handleStops();

    // the lookup is checked on the stored sample before any instrument is touched
    printf("wanted value = %g\n", (double)learnValue(kStoredSettings, ";:CHAN", ";BW"));
    printf("wanted value = %g\n", (double)learnValue(kStoredSettings, ":TIM", "SCAL"));
    printf("wanted value = %g\n", (double)learnValue(kStoredSettings, ":TIM", "SWE"));
    printf("wanted value = %g\n", (double)learnValue(kStoredSettings, ":DISP", ";CONT"));
    printf("wanted Bvalue = %g\n", (double)learnValue(kStoredSettings, " ", " "));
    printf("wanted Bvalue = %g\n", (double)learnValue(kStoredSettings, ":WAV", " "));
    printf("wanted Bvalue = %g\n", (double)learnValue(kStoredSettings, "", ":WAV"));

    printf("\n++++++++++\nUSB-ISS and MAX2719 TCC version:-\t\n++++++++++\n");
    waitTicks(600);
    waitTicks(600);

    serialNameProgram("scopecap");
    openOrExit();
    closeComPort(kPort);
    openOrExit();

    scopePoll(kPort);
    return scopeProblems > 0 || serialPortLost() ? 2 : 0;
}

// scope_capture: reads the settings and the sample memory of both channels of the
// oscilloscope on COM9, and prints the time base, each channel's sampling interval
// and its first eight samples. (scopePoll(port) would write the whole capture to
// ./op_scope.csv and ./gbookFtemp.js instead.)
//
//   g++ scope_capture.cpp $(pkg-config --cflags --libs scopecap-scope) -o scope_capture
//
// Outside Windows the environment variable COM9 names the device (COM9=/dev/ttyUSB0).
// Exit status: 0 done, 1 the port did not open, 2 a reply came short or the port was lost.
#include <scopecap/scope.h>

#include <stdio.h>

int main()
{
    const int port = 9;
    serialNameProgram("scope_capture");
    if (openComPort(port, 19200, '8', 'N') == NULL)
        return 1; // openComPort printed why

    // the settings: one line of ';'-separated items, looked up by group and key
    static char settings[kSettingsReplyMax + 1];
    ScopeSendCmd(port, "*LRN?\r");
    if (readBlock(port, settings, kSettingsReplyMax) == 0) {
        fprintf(stderr, "scope_capture: no settings from the oscilloscope\n");
        return 2;
    }
    printf("time base: %g s/div\n", (double)learnValue(settings, ":TIM", "SCAL"));

    static unsigned char block[kWaveBlockSize];
    const char *const memory[2] = {":acquire1:memory?\r", ":acquire2:memory?\r"};
    for (int channel = 1; channel <= 2; ++channel) {
        ScopeSendCmd(port, memory[channel - 1]);
        unsigned got = readBlock(port, block, kWaveBlockSize);
        if (got < kWaveBlockSize) {
            fprintf(stderr, "scope_capture: channel %d sent %u of %d bytes\n", channel, got, kWaveBlockSize);
            return 2;
        }
        printf("channel %d: sampling interval %g s, first samples:", channel, (double)waveBlockInterval(block));
        for (int k = 0; k < 8; ++k)
            printf(" %d", waveBlockSample(block, 2 * k));
        printf("\n");
    }
    closeComPort(port);
    return serialPortLost() ? 2 : 0;
}

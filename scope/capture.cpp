// Capture exports: both channels to CSV and script files, or one channel to CSV.
#include "scope.h"

#include "capture_file.h"
#include "learn.h"
#include "scope_internal.h"
#include "serial.h"

#include <stdio.h>
#include <string.h>

// The second field of every gbF call: who made the capture, for the page that loads it.
static const char kGbfUserAtHost[] = "scopecap@bench";

int scopeProblems = 0;

// A file that cannot be created or written is one more problem of the capture.
static FILE *openCaptureFile(CaptureFile *file, const char *name)
{
    if (!captureFileOpen(file, name))
        scopeProblems++;
    return file->fp;
}

// One "name,value," line of a CSV header, the value as the instrument's own files show it.
static void csvNumber(FILE *csv, const char *name, float value)
{
    fprintf(csv, "%s,%9.3E,\n", name, (double)value);
}

static void checkBlock(const unsigned char *block, unsigned got, int channel)
{
    if (got < kWaveBlockSize) {
        fprintf(stderr, "scopecap: channel %d sample block short: %u of %d bytes\n", channel, got, kWaveBlockSize);
        scopeProblems++;
    } else if (block[10] != channel) {
        fprintf(stderr, "scopecap: channel %d sample block malformed: channel byte is %u\n", channel, block[10]);
        scopeProblems++;
    }
}

// The CSV lines between the settings header and the samples, the same in both exports.
static void writeSampleHeader(FILE *csv, float period)
{
    csvNumber(csv, "Sampling Period", period);
    fprintf(csv, "Firmware, V1.26,\n");
    fprintf(csv, "Time, ,\n");
    fprintf(csv, "Mode,Fast,\n");
    fprintf(csv, "Waveform Data,\n");
}

// The end of both CSV exports: a line of '=' after the samples.
static void endCsv(FILE *csv)
{
    if (csv != NULL)
        fprintf(csv, "===========================\n");
}

int scopePoll(int port)
{
    printf("Polling waveform....\n");
    scopeReadDual(port, '1');
    return 0;
}

void scopeReadDual(int port, char channel)
{
    // one byte more than the reply may hold, so the text always ends after what came
    char settings[kSettingsReplyMax + 1];
    unsigned char block1[kWaveBlockSize];
    unsigned char block2[kWaveBlockSize];
    memset(settings, 0, sizeof settings);
    memset(block1, 0, sizeof block1);
    memset(block2, 0, sizeof block2);

    ScopeSendCmd(port, "*LRN?\r");
    unsigned settingsGot = readBlock(port, settings, kSettingsReplyMax);
    settings[settingsGot] = '\0';
    if (settingsGot == 0) {
        fprintf(stderr, "scopecap: settings reply empty\n");
        scopeProblems++;
    }
    ScopeSendCmd(port, ":acquire1:memory?\r");
    unsigned got1 = readBlock(port, block1, kWaveBlockSize);
    ScopeSendCmd(port, ":acquire2:memory?\r");
    unsigned count = readBlock(port, block2, kWaveBlockSize);
    checkBlock(block1, got1, 1);
    checkBlock(block2, count, 2);
    scopeExportDual(channel, settings, block1, block2, count);
}

void scopeExportDual(char channel, const char *settings, const unsigned char *block1, const unsigned char *block2,
                     unsigned count)
{
    CaptureFile csvFile, jsFile;
    FILE *csv = openCaptureFile(&csvFile, "./op_scope.csv");
    FILE *js = openCaptureFile(&jsFile, "./gbookFtemp.js");

    learnList(csv, settings);
    float scale1 = learnValue(settings, ":CHANnel1", "SCAL");
    float offset1 = learnValue(settings, ":CHANnel1", "OFFS");
    float scale2 = learnValue(settings, ":CHANnel2", "SCAL");
    float offset2 = learnValue(settings, ":CHANnel2", "OFFS");
    if (csv != NULL) {
        fprintf(csv, "Memory Length,4000,\n");
        csvNumber(csv, "Trigger Level", learnValue(settings, ":TRIG", "LEV"));
        fprintf(csv, channel == '1' ? "Source,CH1,\n" : "Source,CH2,\n");
        fprintf(csv, "Probe,%s,\n", probeName(learnValue(settings, ":CHANnel1", "PROB")));
        fprintf(csv, "Vertical Units,V,\n");
        csvNumber(csv, "Vertical Scale", scale1);
        csvNumber(csv, "Vertical Position", offset1);
        fprintf(csv, "Vertical2 Units,V,\n");
        csvNumber(csv, "Vertical2 Scale", scale2);
        csvNumber(csv, "Vertical2 Position", offset2);
        fprintf(csv, "Horizontal Units,s,\n");
        csvNumber(csv, "Horizontal Scale", learnValue(settings, ":TIM", "SCAL"));
        csvNumber(csv, "Horizontal Position", learnValue(settings, ":TIM", "DEL"));
        fprintf(csv, "Horizontal Mode,%s,\n", horizontalModeName(learnValue(settings, ":TIM", "SWE")));
    }
    printf("count_rd: %d %d \n", (int)count, kWaveBlockSize);

    float interval1 = waveBlockInterval(block1);
    float interval2 = waveBlockInterval(block2);
    if (js != NULL) {
        fprintf(js, "var Vertical1Units='V'\n");
        fprintf(js, "var Vertical1Scale=%9G\n", (double)scale1);
        fprintf(js, "var Vertical1Position=%9G\n", (double)offset1);
        fprintf(js, "var Vertical2Units='V'\n");
        fprintf(js, "var Vertical2Scale=%9G\n", (double)scale2);
        fprintf(js, "var Vertical2Position=%9G\n", (double)offset2);
        fprintf(js, "var displayOffset1=-Vertical1Position*1.0/Vertical1Scale*50.0\n");
        fprintf(js, "var displayOffset2=+Vertical2Position*1.0/Vertical2Scale*50.0\n");
        fprintf(js, "timeInterval=%e\n", (double)interval1);
    }
    printf("count_rd: %d %d TimeInterval:%f %f \n", (int)count, kWaveBlockSize, (double)interval1, (double)interval2);
    printf("tr1:T:%c a:%c b: %c%c%c%c d:%c \n", block1[0], block1[1], block1[2], block1[3], block1[4], block1[5],
           block1[10] + '0');
    printf("tr2:T:%c a:%c b: %c%c%c%c d:%c \n", block2[0], block2[1], block2[2], block2[3], block2[4], block2[5],
           block2[10] + '0');
    printf("\nchannel:%c", block1[10] + '0');
    printf("\nchannel:%c", block2[10] + '0');

    if (csv != NULL)
        writeSampleHeader(csv, interval1);
    for (int i = 0; i < 2 * kWaveSamples; i += 2) {
        if (i % 32 == 0)
            printf("\n");
        int s1 = waveBlockSample(block1, i);
        int s2 = waveBlockSample(block2, i);
        // a text trace of channel 1: a '1' placed by the sample's value
        printf("%5d,%3d,%3d,%*d\n", i, s1, s2, (s1 + 128) / 2, 1);
        if (csv != NULL)
            fprintf(csv, "%3d,%3d\n", s1, s2);
        if (js != NULL)
            fprintf(js, "gbF( 'pelmora','%s','Sun Feb  22 10:30:47 UTC 2015 ','127.0.0.1',%d,%d,0,0,'%d');\n",
                    kGbfUserAtHost, s1, s2, i / 2);
    }
    printf("\n");
    endCsv(csv);
    CaptureFile *const files[] = {&csvFile, &jsFile};
    scopeProblems += captureFilesKeep(files, 2);
}

void scopeReadAquire(int port, char channel)
{
    const bool first = channel == '1';
    unsigned char block[kWaveBlockSize];
    memset(block, 0, sizeof block);

    printf("scopeReadAquire(fd,\"1\");\n");
    ScopeSendCmd(port, first ? ":acquire1:memory?\r" : ":acquire2:memory?\r");
    waitTicks(600);
    unsigned count = readBlock(port, block, kWaveBlockSize);
    checkBlock(block, count, first ? 1 : 2);

    CaptureFile csvFile;
    FILE *csv = openCaptureFile(&csvFile, first ? "./op_scope1.csv" : "./op_scope2.csv");
    if (csv != NULL) {
        // each value is asked of the instrument at the moment its line is written
        fprintf(csv, "Memory Length,4000,\n");
        csvNumber(csv, "Trigger Level", scopeQuery(port, ":TRIG:LEV?\n"));
        fprintf(csv, first ? "Source,CH1,\n" : "Source,CH2,\n");
        fprintf(csv, "Probe,%s,\n", probeName(scopeQuery(port, first ? ":CHAN1:PROB?\n" : ":CHAN2:PROB?\n")));
        fprintf(csv, "Vertical Units,V,\n");
        csvNumber(csv, "Vertical Scale", scopeQuery(port, first ? ":CHAN1:SCAL?\n" : ":CHAN2:SCAL?\n"));
        csvNumber(csv, "Vertical Position", scopeQuery(port, first ? ":CHAN1:OFFS?\n" : ":CHAN2:OFFS?\n"));
        fprintf(csv, "Horizontal Units,s,\n");
        csvNumber(csv, "Horizontal Scale", scopeQuery(port, ":TIM:SCAL?\n"));
        csvNumber(csv, "Horizontal Position", scopeQuery(port, ":TIM:DEL?\n"));
        fprintf(csv, "Horizontal Mode,%s,\n", horizontalModeName(scopeQuery(port, ":TIM:SWE?\n")));
    }
    printf("count_rd: %d %d \n", (int)count, kWaveBlockSize);

    float period = waveBlockInterval(block);
    printf("count_rd: %d %d TimeInterval:%f\n", (int)count, kWaveBlockSize, (double)period);
    printf("%c a: %c b: %c%c%c%c d:%c \n", block[0], block[1], block[2], block[3], block[4], block[5], block[10] + '0');
    printf("\nchannel:%c", block[10] + '0');
    if (csv != NULL)
        writeSampleHeader(csv, period);
    for (int i = 0; i < 2 * kWaveSamples; i += 2) {
        if (i % 32 == 0)
            printf("\n");
        int v = waveBlockSample(block, i);
        printf("%5d,%3d,%*d\n", i, v, (v + 128) / 2, 1);
        if (csv != NULL)
            fprintf(csv, "%3d,\n", v);
    }
    printf("\n");
    endCsv(csv);
    CaptureFile *const files[] = {&csvFile};
    scopeProblems += captureFilesKeep(files, 1);
}

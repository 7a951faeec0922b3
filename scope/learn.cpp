// Finding values in the settings text and listing it.
#include "learn.h"

#include <string.h>

const char *learnFind(const char *text, const char *header, const char *key)
{
    if (text == NULL)
        return NULL;
    const char *at = strstr(text, header);
    if (at == NULL)
        return NULL;
    // the key is searched from the start of the header, so it may be in a later group
    at = strstr(at, key);
    if (at == NULL)
        return NULL;
    return strstr(at, " ");
}

float learnValue(const char *text, const char *header, const char *key)
{
    float result = 0.0f;
    const char *at = learnFind(text, header, key);
    if (at != NULL)
        sscanf(at, "%f", &result);
    return result;
}

static void listItem(FILE *file, const char *item, size_t length)
{
    FILE *out = file != NULL ? file : stdout;
    if (item[0] != ':')
        fprintf(out, "    ");
    // the item is printed by length, so the caller's text is never written to
    fprintf(out, "%.*s\n", (int)length, item);
}

void learnList(FILE *file, const char *text)
{
    if (text == NULL)
        return;
    const char *item = text;
    for (;;) {
        const char *end = strchr(item, ';');
        if (end == NULL) {
            listItem(file, item, strlen(item));
            return;
        }
        listItem(file, item, (size_t)(end - item));
        item = end + 1;
    }
}

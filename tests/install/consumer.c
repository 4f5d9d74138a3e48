/* A client built against an installed libintl_r, through pkg-config and
 * through its CMake package: builds a message, and translates with a table
 * from the installed data directory, which the build names in INTL_R_DATADIR
 * (pkg-config --variable=datadir intl_r, or intl_r_DATADIR of the CMake
 * package), so that nothing need be set when it runs. */
#include <intl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char *what, INTL_INT code)
{
    fprintf(stderr, "consumer: %s: %s\n", what, intl_errstr(code));
    return 1;
}

int main(int argc, char **argv)
{
    char message[64];
    INTL_INT length;
    INTL_INT size, rc, used = 0, status = 0;
    INTL_XLATE *to_server = NULL, *to_display = NULL;
    unsigned char out[16];
    void *buffer;

    if (argc != 1) {
        fprintf(stderr, "usage: %s\n", argv[0]);
        return 2;
    }
    length = intl_strbuild(NULL, message, (INTL_INT)sizeof message, "%2! %1!", "%s%d", "world", 42);
    if (length < 0)
        return fail("intl_strbuild", length);
    if (strcmp(message, "42 world") != 0)
        return fail("intl_strbuild gave the wrong text", INTL_E_GENERAL);

    if ((rc = intl_sethome(INTL_R_DATADIR)) != INTL_OK)
        return fail("intl_sethome", rc);
    size = intl_xlatesize("UTF-8", "ISO-8859-1");
    if (size < 0)
        return fail("intl_xlatesize", size);
    buffer = malloc((size_t)size + 8);
    if (buffer == NULL)
        return 1;
    rc = intl_load_xlate(buffer, "UTF-8", "ISO-8859-1", &to_server, &to_display);
    if (rc != INTL_OK)
        return fail("intl_load_xlate", rc);
    length = intl_xlate((const unsigned char *)"caf\xe9", 4, out, -1, to_server, &used, 1, &status);
    if (length != 5 || memcmp(out, "caf\xc3\xa9", 6) != 0)
        return fail("intl_xlate gave the wrong bytes", INTL_E_GENERAL);
    free(buffer);
    printf("%s, %s\n", message, (const char *)out);
    return 0;
}

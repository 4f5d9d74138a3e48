/* A plain C99 client: the header compiles as C and the library links and
 * answers without any C++ runtime. The layouts that compiled files and
 * callers rely on are checked as the compiler sees them. */
#include <intl.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

/* C11's _Static_assert; __extension__ keeps a C99 -pedantic-errors build quiet. */
#define LAYOUT(cond) __extension__ _Static_assert(cond, #cond)

LAYOUT(sizeof(INTL_INT) == 4 && sizeof(INTL_LONG) == 4);
/* A mapping record is the compiled file's 24-byte image. */
LAYOUT(sizeof(INTL_MAP) == 24 && _Alignof(INTL_MAP) == 4);
LAYOUT(offsetof(INTL_MAP, src_left) == 0 && offsetof(INTL_MAP, dest_chars) == 4);
LAYOUT(offsetof(INTL_MAP, src_pattern) == 8 && offsetof(INTL_MAP, dest_pattern) == 15);
/* Table headers are native; with 4-byte pointers they are the file's image. */
LAYOUT(offsetof(INTL_XLIST, listsize) == 0);
LAYOUT(sizeof(INTL_XLATE) == 256 * sizeof(INTL_XLIST));
LAYOUT(sizeof(void *) != 4 || sizeof(INTL_XLATE) == 2048);
/* Fixed fields callers size their copies by. */
#define FIELD(type, field) sizeof(((type *)0)->field)
LAYOUT(FIELD(INTL_LOCFILE, line) == 512 && FIELD(INTL_LOCFILE, value) == 513);
LAYOUT(FIELD(INTL_LOCFILE, section) == 64 && FIELD(INTL_LOCFILE, entry) == 64);
LAYOUT(FIELD(INTL_DATEINFO, months) == 12 * 21 && FIELD(INTL_DATEINFO, shortmonths) == 12 * 10);
LAYOUT(FIELD(INTL_DATEINFO, days) == 7 * 31 && FIELD(INTL_DATEINFO, dateorder) == 4);
LAYOUT(FIELD(INTL_ARGVAL, cvtspec) == 21 && FIELD(INTL_ARGVAL, value) == 8);
LAYOUT(FIELD(INTL_FMT, fmt) == 21);

int main(void) {
    if (intl_init() != INTL_OK || intl_exit() != INTL_OK)
        return 1;
    if (strcmp(intl_errstr(INTL_E_FEWSHORTMONTHS), "") == 0)
        return 1;
    {
        void *table[1];
        INTL_XLATE *to_server, *to_display;
        if (intl_load_xlate_sized(table, -1, "cs", "t", &to_server, &to_display) != INTL_E_BUFLEN)
            return 1;
    }
    puts(intl__getVdate());
    return 0;
}

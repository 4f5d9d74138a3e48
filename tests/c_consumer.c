/* A plain C99 client: the header compiles as C and the library links and
 * answers without any C++ runtime. */
#include <intl.h>
#include <stdio.h>
#include <string.h>

int main(void)
{
    INTL_MAP map;
    if (intl_init() != INTL_OK || intl_exit() != INTL_OK)
        return 1;
    if (strcmp(intl_errstr(INTL_E_FEWSHORTMONTHS), "") == 0)
        return 1;
    if (sizeof map != 24)
        return 1;
    puts(intl__getVdate());
    return 0;
}

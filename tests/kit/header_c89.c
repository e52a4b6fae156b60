/* cvhost.h compiles as strict C89 (apart from <stdint.h>). */
#include "cvmodule/cvhost.h"

int cvhost_header_is_c89(void)
{
    return CVHOST_STATUS_OK;
}

/* cvhost.h compiles as strict C89 (apart from <stdint.h>). */
#include "cvmodule/cvhost.h"

int cvhost_header_is_c89(void)
{
    return CVHOST_STATUS_OK;
}

/* The fit's options initialise as a C89 aggregate. */
int cvhost_fit_options_are_c89(void)
{
    cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
    return options.period;
}

/* Critical values through the C interface: the module installed with
   libcvhost, a few (n, alpha) pairs one by one, then a batch. */
#include <stdio.h>

#include <cvmodule/cvhost.h>

int main(void)
{
    const double n[3] = {10, 20, 100};
    const double alpha[3] = {0.05, 0.05, 0.01};
    double values[3];
    int32_t statuses[3];
    char message[256];
    double value;
    size_t i;
    cvhost *host = cvhost_open(NULL, message, sizeof message);
    if (host == NULL) {
        fprintf(stderr, "cannot open the module: %s\n", message);
        return 1;
    }
    if (cvhost_ljungcv(host, 10, 0.05, NULL, &value, NULL) != CVHOST_STATUS_OK) {
        cvhost_close(host);
        return 1;
    }
    printf("LJUNGCV(10, 0.05) = %.16g\n", value);
    cvhost_ljungcv_many(host, 3, n, alpha, "L", values, statuses);
    for (i = 0; i < 3; ++i) {
        printf("LJUNGCV(%g, %g, \"L\") = %.16g (status %ld)\n", n[i], alpha[i], values[i], (long)statuses[i]);
    }
    cvhost_close(host);
    return 0;
}

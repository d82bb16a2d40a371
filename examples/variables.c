/* The module's stores and status: variables, the MD table, the firmware
 * version, and the error code after a soft-limit stop. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1

int main(void)
{
    const struct timespec t = {0, 10000000L};
    int32_t count = 0;
    float gain = 0.0f;
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        return 1;
    }
    printf("firmware version word 0x%08X\n", (unsigned)Velkor_GET_FW_VERSION(CARD));

    Velkor_WRITE_bVAR(CARD, 3, 42);
    Velkor_WRITE_VAR(CARD, 100, -250000);
    Velkor_WRITE_MD(CARD, 10, 7, 0.0f);      /* below 1024: an integer entry */
    Velkor_WRITE_MD(CARD, 2000, 0, 1.25f);   /* from 1024 on: a float entry */
    Velkor_READ_MD(CARD, 10, &count, NULL);
    Velkor_READ_MD(CARD, 2000, NULL, &gain);
    printf("bVAR 3 = %u, VAR 100 = %d, MD 10 = %d, MD 2000 = %g\n", Velkor_READ_bVAR(CARD, 3),
           Velkor_READ_VAR(CARD, 100), count, gain);
    if (Velkor_READ_bVAR(CARD, 3) != 42 || Velkor_READ_VAR(CARD, 100) != -250000 || count != 7 || gain != 1.25f) {
        return 1;
    }

    /* A move past the soft limit stops at the limit and sets an error bit. */
    Velkor_SET_LP(CARD, AXIS_X, 0);
    Velkor_SET_V(CARD, AXIS_X, 5000);
    Velkor_SET_SLMT(CARD, AXIS_X, 1000, -1000, 0);
    Velkor_FIXED_MOVE(CARD, AXIS_X, 4000);
    while (Velkor_STOP_WAIT(CARD, AXIS_X) != 1) {
        nanosleep(&t, NULL);
    }
    printf("stopped at %d, error code 0x%04X\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_ERROR_CODE(CARD, AXIS_X));
    if (Velkor_GET_LP(CARD, AXIS_X) != 1000 || Velkor_GET_ERROR(CARD) != 1) {
        return 1;
    }
    Velkor_CLEAR_STOP(CARD);
    Velkor_CLEAR_SLMT(CARD, AXIS_X);
    return Velkor_GET_ERROR(CARD) == 0 ? 0 : 1;
}

/* The yardstick of the command line's polling speed: a libmodbus client that
 * reads the two input registers of "Read Energy" (0x0156) N times in a loop
 * on a serial line, the way a generic Modbus master polls.
 * usage: modbus_client_loop PORT [N [SLAVE [BAUD]]] */
#include <modbus.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PORT [N [SLAVE [BAUD]]]\n", argv[0]);
        return 2;
    }
    const int n = argc > 2 ? atoi(argv[2]) : 200;
    const int slave = argc > 3 ? atoi(argv[3]) : 1;
    const int baud = argc > 4 ? atoi(argv[4]) : 9600;
    modbus_t *ctx = modbus_new_rtu(argv[1], baud, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, slave) != 0 || modbus_connect(ctx) != 0) {
        fprintf(stderr, "cannot open %s: %s\n", argv[1], modbus_strerror(errno));
        return 4;
    }
    uint16_t regs[2];
    int failed = 0;
    const double start = now_ms();
    for (int i = 0; i < n; ++i)
        if (modbus_read_input_registers(ctx, 0x0156, 2, regs) != 2)
            ++failed;
    const double total = now_ms() - start;
    printf("libmodbus: %d reads in %.1f ms, %.3f ms per read, %d failed\n", n, total, total / n, failed);
    modbus_close(ctx);
    modbus_free(ctx);
    return failed ? 1 : 0;
}

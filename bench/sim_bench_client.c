/* Client for bench/sim_bench.sh: one connection, read input registers 59500 (16 registers) as
 * fast as answers come back for SECONDS seconds; prints requests per second. */
#include <modbus/modbus.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const double seconds = argc > 3 ? atof(argv[3]) : 3.0;
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", atoi(argv[2]));
  (void)argv[1];
  if (ctx == NULL || modbus_connect(ctx) != 0) return 1;
  modbus_set_slave(ctx, 1);
  uint16_t regs[16];
  for (int i = 0; i < 200; ++i) modbus_read_input_registers(ctx, 59500, 16, regs); /* warm-up */
  long n = 0, failed = 0;
  const double start = Now();
  double now = start;
  while (now - start < seconds) {
    for (int i = 0; i < 100; ++i, ++n)
      if (modbus_read_input_registers(ctx, 59500, 16, regs) != 16 || regs[0] != 0x1F00) ++failed;
    now = Now();
  }
  printf("%.0f %ld\n", n / (now - start), failed);
  modbus_close(ctx);
  modbus_free(ctx);
  return failed == 0 ? 0 : 1;
}

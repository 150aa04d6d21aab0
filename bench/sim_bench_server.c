/* Reference for bench/sim_bench.sh: libmodbus's own trivial TCP server answering the same reads
 * as the simulator (input registers 59500..59515). Prints "tcp 127.0.0.1:PORT", then serves one
 * connection after the other until killed. */
#include <arpa/inet.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

int main(void) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  modbus_mapping_t* map = modbus_mapping_new_start_address(0, 0, 0, 0, 0, 0, 59500, 16);
  if (ctx == NULL || map == NULL) return 1;
  map->tab_input_registers[0] = 0x1F00;
  int server = modbus_tcp_listen(ctx, 1);
  if (server < 0) return 1;
  struct sockaddr_in a;
  socklen_t size = sizeof a;
  getsockname(server, (struct sockaddr*)&a, &size);
  printf("tcp 127.0.0.1:%d\n", ntohs(a.sin_port));
  fflush(stdout);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  for (;;) {
    if (modbus_tcp_accept(ctx, &server) < 0) continue;
    for (;;) {
      int rc = modbus_receive(ctx, query);
      if (rc > 0)
        modbus_reply(ctx, query, rc, map);
      else if (rc < 0)
        break;
    }
    close(modbus_get_socket(ctx));
  }
}

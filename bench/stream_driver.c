/* A co-process client of `kinkbench eval ... --stream`: starts the command once, then
 * writes a point and reads its answer, in lock-step, RUNS times, and reports the median
 * round trip and the evaluations per second over the whole run. With --pipelined it
 * writes all RUNS points from a second thread while it reads the answers, as a client
 * with many points at hand does, and reports the evaluations per second only.
 * usage: stream_driver [--pipelined] RUNS POINT PROGRAM ARGS... */
#define _DEFAULT_SOURCE
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int by_value(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static void fail(const char* what) {
  fprintf(stderr, "stream_driver: %s\n", what);
  exit(1);
}

struct feed {
  int fd;
  int runs;
  const char* point;
  size_t size;
};

/* Writes the points in blocks of whole lines, then closes the server's input. */
static void* write_points(void* arg) {
  const struct feed* f = arg;
  char block[1 << 16];
  const int per_block = (int)(sizeof block / f->size);
  for (int done = 0; done < f->runs;) {
    const int lines = f->runs - done < per_block ? f->runs - done : per_block;
    for (int i = 0; i < lines; ++i) memcpy(block + (size_t)i * f->size, f->point, f->size);
    const size_t total = (size_t)lines * f->size;
    for (size_t at = 0; at < total;) {
      const ssize_t n = write(f->fd, block + at, total - at);
      if (n <= 0) fail("write failed");
      at += (size_t)n;
    }
    done += lines;
  }
  close(f->fd);
  return NULL;
}

int main(int argc, char** argv) {
  const int pipelined = argc > 1 && strcmp(argv[1], "--pipelined") == 0;
  argv += pipelined;
  argc -= pipelined;
  if (argc < 4) {
    fprintf(stderr, "usage: stream_driver [--pipelined] RUNS POINT PROGRAM ARGS...\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  char point[4096];
  snprintf(point, sizeof point, "%s\n", argv[2]);
  const size_t point_size = strlen(point);
  int to[2], from[2];
  if (runs < 1 || pipe(to) != 0 || pipe(from) != 0) fail("cannot set up");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(to[0], STDIN_FILENO);
    dup2(from[1], STDOUT_FILENO);
    close(to[1]);
    close(from[0]);
    execv(argv[3], argv + 3);
    _exit(127);
  }
  close(to[0]);
  close(from[1]);
  if (pipelined) {
    struct feed f = {to[1], runs, point, point_size};
    pthread_t writer;
    char buffer[1 << 16];
    long answers = 0;
    const double start = now();
    if (pthread_create(&writer, NULL, write_points, &f) != 0) fail("cannot start the writer");
    for (;;) {
      const ssize_t n = read(from[0], buffer, sizeof buffer);
      if (n < 0) fail("read failed");
      if (n == 0) break;
      for (ssize_t i = 0; i < n; ++i) answers += buffer[i] == '\n';
    }
    const double total = now() - start;
    pthread_join(writer, NULL);
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("the server failed");
    if (answers != runs) fail("not every point was answered");
    const double cpu = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6 +
                       (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec * 1e-6;
    printf("%d evaluations pipelined: %.0f evaluations per second, server CPU %.0f ns each\n", runs,
           runs / total, cpu / runs * 1e9);
    return 0;
  }
  double* times = malloc(sizeof(double) * (size_t)runs);
  if (!times) fail("out of memory");
  char answer[65536];
  const double start = now();
  for (int r = 0; r < runs; ++r) {
    const double t = now();
    if (write(to[1], point, point_size) != (ssize_t)point_size) fail("write failed");
    size_t got = 0;
    for (;;) {
      const ssize_t n = read(from[0], answer + got, sizeof answer - 1 - got);
      if (n <= 0) fail("the stream ended early");
      got += (size_t)n;
      if (answer[got - 1] == '\n') break;
    }
    times[r] = now() - t;
    if (r == 0) {
      answer[got] = '\0';
      if (strncmp(answer, "error", 5) == 0) fail(answer);
      printf("first answer: %s", answer);
    }
  }
  const double total = now() - start;
  close(to[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("the command failed");
  qsort(times, (size_t)runs, sizeof(double), by_value);
  printf("%d evaluations: median round trip %.1f us, %.0f evaluations per second\n", runs,
         times[runs / 2] * 1e6, runs / total);
  free(times);
  return 0;
}

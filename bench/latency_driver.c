/* Runs programs alternately in the current directory and reports each one's median
 * wall time per run and its ratio to the first (the baseline).
 * usage: latency_driver RUNS BASELINE PROGRAM... */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
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

static double run_once(const char* path) {
  const double start = now();
  const pid_t pid = fork();
  if (pid == 0) {
    char* argv[] = {(char*)path, NULL};
    char* envp[] = {NULL};
    execve(path, argv, envp);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double elapsed = now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "latency_driver: %s failed\n", path);
    exit(1);
  }
  return elapsed;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: latency_driver RUNS BASELINE PROGRAM...\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  const int programs = argc - 2;
  double* times = malloc(sizeof(double) * (size_t)runs * (size_t)programs);
  if (!times || runs < 1) return 2;
  for (int r = 0; r < runs; ++r) {
    for (int p = 0; p < programs; ++p) times[p * runs + r] = run_once(argv[2 + p]);
  }
  double baseline = 0;
  for (int p = 0; p < programs; ++p) {
    qsort(times + p * runs, (size_t)runs, sizeof(double), by_value);
    const double median = times[p * runs + runs / 2];
    if (p == 0) baseline = median;
    printf("%-12s median %8.1f us   ratio to baseline %.3f\n", argv[2 + p], median * 1e6,
           median / baseline);
  }
  free(times);
  return 0;
}

/* Injects I/O failures into a program started with LD_PRELOAD, on descriptors above 2
 * only, so that the program's own diagnostic line still reaches stderr.
 *
 *   KB_FAULT_READ=N      read() hands out one byte per call and fails with EIO once N
 *                        bytes were handed out (so inside a value, for a small N)
 *   KB_FAULT_READ_EINTR  the first read() fails with EINTR
 *   KB_FAULT_WRITE=zero  write() returns 0 without writing
 *   KB_FAULT_WRITE=short write() writes at most 5 bytes per call
 *   KB_FAULT_WRITE=eintr the first write() fails with EINTR
 *   KB_FAULT_CLOSE=1     close() closes the descriptor, then fails with EIO */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef ssize_t io_fn(int, void*, size_t);
typedef ssize_t write_fn(int, const void*, size_t);
typedef int close_fn(int);

static long handed_out;
static int read_interrupted;
static int write_interrupted;

static int is(const char* name, const char* value) {
  const char* v = getenv(name);
  return v != NULL && strcmp(v, value) == 0;
}

ssize_t read(int fd, void* buffer, size_t count) {
  io_fn* next = (io_fn*)dlsym(RTLD_NEXT, "read");
  const char* limit = getenv("KB_FAULT_READ");
  if (fd <= 2) return next(fd, buffer, count);
  if (getenv("KB_FAULT_READ_EINTR") != NULL && !read_interrupted) {
    read_interrupted = 1;
    errno = EINTR;
    return -1;
  }
  if (limit == NULL) return next(fd, buffer, count);
  if (handed_out >= atol(limit)) {
    errno = EIO;
    return -1;
  }
  const ssize_t got = next(fd, buffer, count > 0 ? 1 : 0);
  if (got > 0) handed_out += got;
  return got;
}

ssize_t write(int fd, const void* buffer, size_t count) {
  write_fn* next = (write_fn*)dlsym(RTLD_NEXT, "write");
  if (fd <= 2) return next(fd, buffer, count);
  if (is("KB_FAULT_WRITE", "zero")) return 0;
  if (is("KB_FAULT_WRITE", "short")) return next(fd, buffer, count < 5 ? count : 5);
  if (is("KB_FAULT_WRITE", "eintr") && !write_interrupted) {
    write_interrupted = 1;
    errno = EINTR;
    return -1;
  }
  return next(fd, buffer, count);
}

int close(int fd) {
  close_fn* next = (close_fn*)dlsym(RTLD_NEXT, "close");
  const int result = next(fd);
  if (fd > 2 && getenv("KB_FAULT_CLOSE") != NULL) {
    errno = EIO;
    return -1;
  }
  return result;
}

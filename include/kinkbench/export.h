/* Marks the names the shared library exports; everything else stays hidden. */
#ifndef KINKBENCH_EXPORT_H
#define KINKBENCH_EXPORT_H

#if defined(KINKBENCH_BUILDING)
#define KINKBENCH_API __attribute__((visibility("default")))
#else
#define KINKBENCH_API
#endif

#endif /* KINKBENCH_EXPORT_H */

/* The floor for a black box: read two numbers, write one formatted line. */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
  FILE* in = fopen("input.in", "r");
  if (!in) return 1;
  char line[256];
  double v[2] = {0, 0};
  for (int i = 0; i < 2 && fgets(line, sizeof line, in); ++i) v[i] = strtod(line, NULL);
  fclose(in);
  FILE* out = fopen("output.out", "w");
  if (!out) return 1;
  fprintf(out, "%15.6E\n", v[0] + v[1]);
  return fclose(out) == 0 ? 0 : 1;
}

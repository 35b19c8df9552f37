/* A C host: includes the public header and converts a page through the
 * shared library. Exits 0 when the buffer contract holds. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quillmark.h"

int main(void) {
  char page[] = "<p>Hello from C</p>";
  char* caller = NULL;
  char* device = NULL;
  char* pageText = page;
  int32_t length = (int32_t)strlen(page);
  int32_t capacity = 4096;
  char* buffer = malloc((size_t)capacity);
  char* output = buffer;
  int32_t written;

  if (buffer == NULL) return 2;
  if (strcmp(LibraryVersion(), "Quillmark, v0.9.21") != 0) return 3;
  written = WapConvert(&caller, &device, &pageText, &length, &output, &capacity);
  if (written <= 0 || written != capacity || (size_t)written != strlen(buffer)) return 4;
  if (strstr(buffer, "Hello from C") == NULL) return 5;
  puts(buffer);
  free(buffer);
  return 0;
}

#include <quillmark.h>
#include <stdio.h>

int main(void) {
  char page[] = "<html><body><h1>Hello</h1><p>From <b>C</b>.</p></body></html>";
  char deck[4096], *caller = NULL, *device = "Kestrel71/1.0", *text = page, *out = deck;
  int32_t length = sizeof page - 1, capacity = sizeof deck;
  if (WapConvert(&caller, &device, &text, &length, &out, &capacity) == 0) return 1;
  return puts(deck) < 0;
}

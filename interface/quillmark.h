/* Quillmark: converts HTML and XHTML pages into WML 1.1 decks.
 *
 * Buffer contract of WapConvert: every argument is passed by reference.
 * On entry *capacity is the number of bytes available at *outputBuffer. The
 * deck fits when *capacity is at least its measured length plus one byte for
 * the terminating zero; then it is written, zero-terminated, and its length
 * is stored into *capacity and returned. Otherwise nothing is written,
 * *capacity becomes 0 and the result is 0 (grow the buffer and call again).
 * A negative capacity or a null output buffer never fits. A null page or a
 * page length of 0 or less converts an empty page. A null pointer for any
 * by-reference argument returns 0 and touches nothing.
 * A null *deviceText selects the default device profile. *callerText is not
 * used.
 */
#ifndef QUILLMARK_H
#define QUILLMARK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t WapConvert(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                   char** outputBuffer, int32_t* capacity);

/* The library's version text; a static string, the same pointer every call. */
const char* LibraryVersion(void);

/* Initialisation of the device unit, reference-counted: the library calls
 * each once itself when loaded and unloaded; other users call them in
 * balanced pairs. */
void XmldeviceInitialize(void);
void XmldeviceFinalize(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLMARK_H */

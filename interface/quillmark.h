/* Quillmark: converts HTML and XHTML pages into WML 1.1 decks.
 *
 * Buffer contract of WapConvert: every argument is passed by reference.
 * On entry *capacity is the number of bytes available at *outputBuffer. The
 * deck fits when *capacity is at least its measured length plus one byte for
 * the terminating zero; then it is written, zero-terminated, and its length
 * is stored into *capacity and returned. Otherwise nothing is written,
 * *capacity becomes 0 and the result is 0 (when WapLastError says "did not
 * fit", grow the buffer and call again; no buffer mends its other reasons).
 * A negative capacity or a null output buffer never fits. A null page or a
 * page length of 0 or less converts an empty page. A null pointer for any
 * by-reference argument returns 0 and touches nothing. The page's bytes
 * are only read.
 * A null *deviceText selects the default device profile. *callerText is not
 * used. The page's charset is found from a byte-order mark, its own
 * declaration, or its bytes (UTF-8 when they are valid UTF-8, else
 * Windows-1252), and the deck is written in the encoding its XML declaration
 * names; a device with CHARSET=bytes copies the page's bytes instead.
 */
#ifndef QUILLMARK_H
#define QUILLMARK_H

#include <stdint.h>

/* Everything declared below is exported from the shared library, whose
 * other symbols are hidden. */
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

#ifdef __cplusplus
extern "C" {
#endif

int32_t WapConvert(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                   char** outputBuffer, int32_t* capacity);

/* WapConvert for a page whose charset the host knows (from the HTTP answer
 * that brought it, say): `pageCharset` names it ("ISO-8859-1", "utf-8", ...).
 * A byte-order mark or a charset the page declares itself (<meta charset>,
 * <meta http-equiv="Content-Type">) still wins; a null, empty or unknown
 * name is as if none were given. The deck is written in the encoding its
 * XML declaration names (UTF-8 when it names none). Same buffer contract as
 * WapConvert. */
int32_t WapConvertCharset(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                          const char* pageCharset, char** outputBuffer, int32_t* capacity);

/* Why the last WapConvert, WapConvertCharset, WapConvertWmlc or
 * WapConvertPart call on this thread returned
 * 0: "did not fit" (grow the buffer and call again), "page exceeds the
 * conversion budget" (what the page expands into, through tag replacement or
 * form postfields, passes 64 bytes per page byte plus 1 MiB; a larger buffer
 * does not help), "out of memory", "invalid arguments" (a null
 * by-reference argument, or an unknown format), or "no such part" (a part
 * number past the deck's parts). The empty text after a call that succeeded. A
 * static string. */
const char* WapLastError(void);

/* Converts like WapConvert, then compiles the deck into WMLC (WBXML 1.3, the
 * WML 1.1 public identifier, the deck's charset), the binary form that a
 * WAP gateway sends a phone as application/vnd.wap.wmlc. Same arguments and
 * contract as WapConvert, except that the output is binary and has no
 * terminating zero: it fits when *capacity is at least its length, exactly;
 * then it is written, and its length is stored into *capacity and returned
 * (the bytes may contain zeros, so use the length, never strlen). Otherwise
 * nothing is written, *capacity becomes 0 and the result is 0. */
int32_t WapConvertWmlc(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                       char** outputBuffer, int32_t* capacity);

/* The forms of deck WapConvertPart writes. */
enum { WAP_FORMAT_WML = 0, WAP_FORMAT_WMLC = 1 };

/* Converts part `part` (counted from 1) of a page's deck, cut to the size
 * limits of the device (MAX_CARD_SIZE, MAX_DECK_SIZE in the configuration:
 * bytes of compiled WMLC), and stores how many parts the deck has into
 * *partCount (unless partCount is null; 0 when the call fails before
 * converting). A device without a deck limit has one part, the whole deck.
 * `format` is WAP_FORMAT_WML (text, with WapConvertCharset's contract) or
 * WAP_FORMAT_WMLC (compiled, with WapConvertWmlc's). `pageCharset` is as for
 * WapConvertCharset. The last card of each part links to the next part, at
 * the address `partLink` gives: "{n}" in it stands for the part's number
 * (null or empty: "?qm-part={n}"); links to part 1 go to `firstPartLink`
 * when that is not null. The addresses are written into the deck escaped
 * as WML needs. A part number the deck does not have writes nothing,
 * returns 0 and WapLastError says "no such part"; *partCount still tells
 * how many there are. */
int32_t WapConvertPart(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                       const char* pageCharset, int32_t format, int32_t part, const char* partLink,
                       const char* firstPartLink, char** outputBuffer, int32_t* capacity, int32_t* partCount);

/* Converts the page once and writes every part of its deck, in order, one
 * after another into the buffer, each as WapConvertPart writes it (text
 * parts zero-terminated, compiled ones not), and the offset just past each
 * part (its zero included) into partEnds[0 .. parts - 1]. partSlots is how
 * many offsets partEnds holds. It fits when the buffer holds all parts and
 * partEnds all offsets: then the total length is stored into *capacity and
 * returned. Otherwise nothing is written, *capacity becomes 0, the result
 * is 0 and WapLastError says "did not fit". *partCount (which must not be
 * null) tells how many parts the deck has either way (0 when the call fails
 * before converting). The other arguments are as for WapConvertPart. A host
 * that writes every part calls this rather than WapConvertPart once a part,
 * which converts the page again for each. */
int32_t WapConvertParts(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                        const char* pageCharset, int32_t format, const char* partLink,
                        const char* firstPartLink, char** outputBuffer, int32_t* capacity,
                        int32_t* partEnds, int32_t partSlots, int32_t* partCount);

/* The library's version text; a static string, the same pointer every call. */
const char* LibraryVersion(void);

/* Points the library at the configuration file `path` instead of the file
 * beside the library module; a null or empty path returns to the file beside
 * the module. The text is copied. The next conversion reads the newly chosen
 * file (the built-in defaults when it does not exist) and from then on the
 * freshness check watches that file exactly as it watches the file beside the
 * module. May be called before or between conversions, from any thread. */
void WapSetConfigurationFile(const char* path);

/* The name of the device that `deviceText` selects under the configuration
 * in force (after the same freshness check a conversion makes); a null text
 * selects the default device. Writes the name, zero-terminated, to
 * `nameBuffer` when `capacity` holds its length plus one byte, else writes
 * nothing. Returns the name's length either way; 0 for the built-in default
 * device, which has no name. */
int32_t WapDeviceName(const char* deviceText, char* nameBuffer, int32_t capacity);

/* Initialisation of the device unit, reference-counted: the library calls
 * each once itself when loaded and unloaded; other users call them in
 * balanced pairs. */
void XmldeviceInitialize(void);
void XmldeviceFinalize(void);

#ifdef __cplusplus
}
#endif

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif

#endif /* QUILLMARK_H */

/* brelk: resolves a 1000eb share-page address to the direct download address.
 *
 * One function. All text is GBK (code page 936), zero-terminated.
 *
 *   const char* link = Analysis_1000eb("http://1000eb.com/abc123");
 *   if (link != NULL) printf("%s\n", link);   // valid until the next call
 *
 * Calling convention: __stdcall on 32-bit Windows (the function removes its
 * one pointer argument), the platform's default everywhere else.
 */
#ifndef BRELK_H_
#define BRELK_H_

#if defined(_WIN32) && !defined(_WIN64)
#define BRELK_CALL __stdcall
#else
#define BRELK_CALL
#endif

#if defined(BRELK_BUILDING_LIBRARY)
#if defined(_WIN32)
#define BRELK_API __declspec(dllexport)
#else
#define BRELK_API __attribute__((visibility("default")))
#endif
#elif defined(_WIN32)
#define BRELK_API __declspec(dllimport)
#else
#define BRELK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Analysis_1000eb(): fetches the share page at shareAddress (GBK text, or
 * NULL, which counts as the empty address), asks the file host's
 * download-list endpoint, and returns the direct download address as GBK
 * text, or NULL when it could not be resolved. Blocks the calling thread for
 * two HTTP requests.
 *
 * The result belongs to the library: do not free or change it. It stays
 * valid until the next call of Analysis_1000eb (from any thread) or until the
 * library is unloaded; copy it to keep it longer. The argument is read only
 * at the start of the call, so the previous result may be passed back in.
 * Calls must not overlap. */
BRELK_API const char* BRELK_CALL Analysis_1000eb(const char* shareAddress);

#ifdef __cplusplus
}
#endif

#endif /* BRELK_H_ */

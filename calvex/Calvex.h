/* libcalvex: the video browser.
 *
 * Calvex_Open shows a window listing the recordings of a folder (newest
 * first, with a preview frame, duration, size, date and format), plays them
 * inside the window and moves, renames or hands them to the desktop's player.
 *
 * The window lives in the calling process: call these functions on the user-
 * interface thread of a running wxWidgets application. The library owns the
 * window; the caller owns the owner window and keeps it alive while a browser
 * of it is open (or calls Calvex_Close first).
 */
#ifndef CALVEX_CALVEX_H
#define CALVEX_CALVEX_H

#ifdef __cplusplus
namespace plat { struct Window; }
typedef plat::Window* CALVEX_HWND;
#else
typedef struct Window* CALVEX_HWND;
#endif

#define CALVEX_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the browser on folder (UTF-8 path). Returns non-zero when its window
 * has opened; 0 when it could not (no application running, a null folder).
 * When the window closes, however that happens, message is posted once to
 * owner (wParam 0, lParam 0). A missing or empty folder still opens, saying
 * so. */
CALVEX_API int Calvex_Open(CALVEX_HWND owner, unsigned int message, const char* folder);

/* Closes the browsers opened for owner without posting their message (the
 * owner is going away). */
CALVEX_API void Calvex_Close(CALVEX_HWND owner);

#ifdef __cplusplus
}
#endif

#endif

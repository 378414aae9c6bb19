/* libstrova: the capture library's public interface.
 *
 * A flat C interface over the capture cards. Every per-card function takes a
 * card index first (valid: 0 <= card < 32 and card < the counted cards) and
 * returns a 32-bit status: zero or positive is success, negative is failure.
 * The library owns every media object; callers pass only plain values and
 * window handles. Strings are 8-bit, zero-terminated; name buffers hold
 * STROVA_NAME_LEN bytes per entry. Output pointers are written only on
 * success unless a function says otherwise. */
#ifndef STROVA_STROVA_H
#define STROVA_STROVA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
namespace plat { struct Window; }
/* The platform layer's window handle (plat::HWND) passes without casts. */
typedef plat::Window* STROVA_HWND;
#else
typedef struct Window* STROVA_HWND;
#endif

#if defined(STROVA_BUILD)
#define STROVA_API __attribute__((visibility("default")))
#else
#define STROVA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t STROVA_STATUS;

#ifndef S_OK
#define S_OK ((STROVA_STATUS)0)
#endif
#ifndef S_FALSE
#define S_FALSE ((STROVA_STATUS)1)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((STROVA_STATUS)0x80070057u)
#endif
#ifndef E_FAIL
#define E_FAIL ((STROVA_STATUS)0x80004005u)
#endif
#ifndef E_NOTIMPL
#define E_NOTIMPL ((STROVA_STATUS)0x80004001u)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ((STROVA_STATUS)0x8007000Eu)
#endif
#ifndef VFW_E_WRONG_STATE
#define VFW_E_WRONG_STATE ((STROVA_STATUS)0x80040227u)
#endif
/* The abort result that means the disk is full. */
#define STROVA_E_DISK_FULL ((STROVA_STATUS)0x80070070u)

#define STROVA_MAX_CARDS 32
#define STROVA_NAME_LEN 80

/* Notification codes: low word of lParam; the high word is the card index. */
#define NOTIFY_GRAPH_EVENT 0x1234
#define NOTIFY_DISK_FULL 0x1235
#define NOTIFY_VIDEO_SIZE 0x1236
#define NOTIFY_PAUSED 0x1237
#define NOTIFY_ABORTED 0x1238

/* Pin selectors. */
#define STROVA_PIN_CAPTURE 1
#define STROVA_PIN_PREVIEW 2

/* Stream states. */
#define STROVA_STATE_RUNNING 0
#define STROVA_STATE_PAUSED 1
#define STROVA_STATE_STOPPED 2

typedef struct StrovaRect {
  int32_t left, top, right, bottom;
} StrovaRect;

/* Bitmap information header, 40 bytes. */
typedef struct StrovaBitmapHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
} StrovaBitmapHeader;

/* Picture format of a pin, 96 bytes, little-endian.
 * colorCode: 0 RGB555, 1 RGB24, 2 YUY2, 3 YVU9, 4 YV12; -1 (read) = other. */
typedef struct VideoInfo {
  int32_t colorCode;
  StrovaRect source;
  StrovaRect target;
  uint32_t bitRate;
  uint32_t bitErrorRate;
  uint32_t alignment; /* not read or written */
  int64_t avgTimePerFrame; /* 100 ns units */
  StrovaBitmapHeader bmi;
} VideoInfo;

#ifdef __cplusplus
static_assert(sizeof(VideoInfo) == 96, "VideoInfo is 96 bytes");
static_assert(offsetof(VideoInfo, source) == 4 && offsetof(VideoInfo, target) == 20 &&
                  offsetof(VideoInfo, bitRate) == 36 && offsetof(VideoInfo, avgTimePerFrame) == 48 &&
                  offsetof(VideoInfo, bmi) == 56,
              "VideoInfo layout");
#else
_Static_assert(sizeof(VideoInfo) == 96, "VideoInfo is 96 bytes");
#endif

/* --- Library, devices and notifications ------------------------------- */
STROVA_API STROVA_STATUS Strova_Initialize(void);
STROVA_API void Strova_Uninitialize(void);
/* names: STROVA_NAME_LEN bytes per entry, room for 32 entries, may be null. */
STROVA_API STROVA_STATUS Strova_EnumVideoCaptureDev(char* names, int* count);
STROVA_API STROVA_STATUS Strova_EnumAudioCaptureDev(char* names, int* count);
STROVA_API STROVA_STATUS Strova_GetCardNumber(int* count);
STROVA_API STROVA_STATUS Strova_SetNotifyWindow(int card, STROVA_HWND window, unsigned int message);
STROVA_API void Strova_ManageNotifyMessage(int card);

/* --- Capture graph and preview ------------------------------------------ */
STROVA_API STROVA_STATUS Strova_ConnectDevice(int card, int yuvMode, STROVA_HWND owner);
STROVA_API STROVA_STATUS Strova_DisconnectDevice(int card);
STROVA_API STROVA_STATUS Strova_IsConnected(int card, int* connected);
STROVA_API int Strova_SetDispMode(int mode);
/* Deinterlacing of the preview (and of the stills taken from it) for
 * interlaced sources: non-zero on (the default), 0 off. Applies to every
 * card at once, running previews included. */
STROVA_API STROVA_STATUS Strova_SetDeinterlace(int on);
STROVA_API STROVA_STATUS Strova_IsDeinterlace(int* on);
STROVA_API STROVA_STATUS Strova_SetOwnerWnd(int card, STROVA_HWND owner);
STROVA_API STROVA_STATUS Strova_GetOwnerWnd(int card, STROVA_HWND* owner);
STROVA_API STROVA_STATUS Strova_SetMessageDrain(int card, STROVA_HWND drain);
STROVA_API STROVA_STATUS Strova_SetWindowPos(int card, int left, int top, int right, int bottom);
STROVA_API STROVA_STATUS Strova_GetWindowPos(int card, StrovaRect* rect);
STROVA_API STROVA_STATUS Strova_FullScreen(int card, int on);
STROVA_API STROVA_STATUS Strova_IsFullSrcMode(int card, int* full);
STROVA_API STROVA_STATUS Strova_GetStreamStatus(int card, int* state);
STROVA_API STROVA_STATUS Strova_SetStreamStatus(int card, int state);
STROVA_API STROVA_STATUS Strova_IsPreviewPinExisted(int card, int* exists);
/* branch: 1 recording, 2 preview. */
STROVA_API STROVA_STATUS Strova_ConnectPin(int card, int branch);
STROVA_API STROVA_STATUS Strova_DisconnectPin(int card, int branch);

/* --- Pin formats ---------------------------------------------------------- */
STROVA_API STROVA_STATUS Strova_GetVideoInfo(int card, VideoInfo* info, int pin);
STROVA_API STROVA_STATUS Strova_SetVideoInfo(int card, VideoInfo info, int pin);

/* --- File capture ----------------------------------------------------------- */
STROVA_API void Strova_SetCaptureFile(int card, const char* path);
STROVA_API int Strova_StartCapture(int card);
STROVA_API int Strova_StopCapture(int card);
STROVA_API void Strova_IsCapturing(int card, int* capturing);
STROVA_API int Strova_SetCaptureAudio(int card, int* enable);
STROVA_API void Strova_IsCaptureAudio(int card, int* enabled);
STROVA_API int Strova_WhoIsCapturingAudio(int* card);
STROVA_API void Strova_SetFrameRateOnCapture(int card, int use, double rate);
STROVA_API void Strova_IsUseFrameRate(int card, int* use);
STROVA_API STROVA_STATUS Strova_EnumVideoCompressor(char* names, int* count);
STROVA_API STROVA_STATUS Strova_ChooseVideoCompressor(const char* name);
STROVA_API STROVA_STATUS Strova_GetCurrentVideoCompressor(char* name);
STROVA_API STROVA_STATUS Strova_GetVideoCompressorQuality(int* quality);
STROVA_API STROVA_STATUS Strova_SetVideoCompressorQuality(int quality);

/* What a recording lost, counted from the card's sequence numbers and time
 * stamps: frames the card dropped (a gap in the sequence, or in the frame
 * times where the card gives no sequence), frames it delivered twice, and
 * breaks in the sound longer than 10 ms. Times in milliseconds. The caller
 * owns the structure; the library fills it. A log of the same counts and
 * each event's time is written beside the recording: the capture file's
 * name with ".log" for its extension. */
typedef struct StrovaRecordingCounts {
  int64_t framesCaptured;  /* frames the card delivered */
  int64_t framesDropped;
  int64_t framesRepeated;
  int64_t soundGaps;
  int64_t soundGapMs;      /* the gaps' total length */
  int64_t lengthMs;        /* first frame to the end of the last one */
  int32_t recording;       /* 1 while the recording runs, 0 when it has ended */
  /* Lossless recordings are decoded after they end and each frame compared
   * with its line in the checksum file beside them ("<file>.framemd5"):
   * 1 all equal, -1 one differs or the file cannot be read, 0 not checked
   * (yet; other profiles are never checked). */
  int32_t checked;
} StrovaRecordingCounts;
/* The card's recording running or last made. S_OK; E_INVALIDARG: invalid
 * card or null counts; E_FAIL: the card has not recorded since the library
 * started. */
STROVA_API STROVA_STATUS Strova_GetRecordingCounts(int card, StrovaRecordingCounts* counts);

/* --- Frame grab and still files ------------------------------------------- */
STROVA_API STROVA_STATUS Strova_GetCurrentDib(int card, long unused1, long unused2);
STROVA_API STROVA_STATUS Strova_GetVideoStream(int card, long a, long b);
STROVA_API int Strova_SaveToBmpFile(int card, const char* path);
STROVA_API int Strova_SaveToJpgFile(int card, const char* path);

/* --- Tuner, sound and remote control --------------------------------------
 * These act on the card whose graph was built last; the first argument is
 * unused. Without a connected card each returns 0. */
STROVA_API uint8_t Strova_GetDeviceID(void);
STROVA_API int32_t Strova_IsVideoSignalLocked(int32_t card, int32_t* locked);
STROVA_API int32_t SetTvChannelFreg(int32_t unused, int32_t frequencyKHz);
STROVA_API int32_t GetTvChannelOkay(int32_t unused, int32_t frequencyKHz);
/* For a channel scan, waiting only as long as the card's tuner needs (its
 * loop lock and AFC settle times, not the fixed 150 ms):
 * Strova_TunerSignal: 1 when the lock flag shows a carrier in the tuner's
 * capture range after the loop's lock time, else 0 (also for f out of range);
 * Strova_GetTvChannelOkayQuick: GetTvChannelOkay's result after the loop's
 * lock and the AFC's settle time. */
STROVA_API int32_t Strova_TunerSignal(int32_t unused, int32_t frequencyKHz);
STROVA_API int32_t Strova_GetTvChannelOkayQuick(int32_t unused, int32_t frequencyKHz);
STROVA_API int32_t GetRemoteData(void);
STROVA_API int32_t SetTVSoundData(int32_t unused, int32_t on);
STROVA_API int32_t SetADSoundData(int32_t unused, int32_t on);
/* The line input: mute (non-zero) or unmute the card's sound as the desktop
 * hears it, for every card and every later connection. Returns 0. */
STROVA_API int32_t Strova_MuteCardSound(int32_t mute);

/* --- Video standard, colour properties, property pages, routing ---------- */
STROVA_API int32_t Strova_GetVideoStandard(int32_t card, int32_t* current, int32_t* available);
STROVA_API int32_t Strova_SetVideoStandard(int32_t card, int32_t standard);
/* values: current, minimum, maximum, step, default, capability flags. */
STROVA_API int32_t Strova_GetVideoPropertyValue(int32_t card, int32_t property, int32_t values[6]);
STROVA_API int32_t Strova_SetVideoPropertyValue(int32_t card, int32_t property, int32_t value);
STROVA_API int32_t Strova_GetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t* b);
STROVA_API int32_t Strova_SetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t b);
STROVA_API int32_t Strova_IsPropertyExist(int32_t card, int32_t page, int32_t* exists);
/* parent: the viewer's window handle (STROVA_HWND) passed on to the host.
 * A page that stops the graph while shown (1, 2, 5, 9..11) is refused with
 * VFW_E_WRONG_STATE while the card records: stopping would end the file. */
STROVA_API int32_t Strova_DisplayPropertyDialogs(int32_t card, int32_t page, void* parent,
                                                 const char* caption);
/* The capture device's own controls, as property page 0 shows them: for a
 * V4L2 card every control the driver lists (integer, boolean, menu, button),
 * else the colour properties. index counts from 0; E_FAIL past the last one
 * or without a capture device; E_INVALIDARG: invalid card or null control. */
#define STROVA_CONTROL_INTEGER 1
#define STROVA_CONTROL_BOOLEAN 2
#define STROVA_CONTROL_MENU 3
#define STROVA_CONTROL_BUTTON 4
typedef struct StrovaControl {
  uint32_t id;
  int32_t type;
  int32_t minimum, maximum, step, defaultValue, value;
  char name[64];
} StrovaControl;
STROVA_API int32_t Strova_GetDeviceControl(int32_t card, int32_t index, StrovaControl* control);
/* The name of a menu control's entry `value` ("" for a gap in the menu). */
STROVA_API int32_t Strova_GetDeviceControlItem(int32_t card, int32_t index, int32_t value, char* name,
                                               int32_t size);
STROVA_API int32_t Strova_SetDeviceControl(int32_t card, uint32_t id, int32_t value);
/* The viewer's property-frame host: shows page 0..11 of the card modally over
 * parent (the library links no toolkit). Null removes it. */
typedef int32_t (*StrovaPropertyFrameHost)(void* user, int32_t card, int32_t page, void* parent,
                                           const char* caption);
STROVA_API void Strova_SetPropertyFrameHost(StrovaPropertyFrameHost host, void* user);
STROVA_API int32_t Strova_RouteInPinToOutPin(int32_t card, int32_t inputPin, int32_t outputPin);
STROVA_API int32_t Strova_WhatInPinRouteToOutPin(int32_t card, int32_t outputPin, int32_t* inputPin);
/* The name of crossbar input `input` into name (size bytes, cut and always
 * terminated). E_INVALIDARG: invalid card, null name or size < 1; E_FAIL: no
 * capture device or no such input (the inputs are numbered from 0). */
STROVA_API int32_t Strova_GetInputName(int32_t card, int32_t input, char* name, int32_t size);
STROVA_API int32_t Strova_ChooseCamera_Ex(int32_t card, int32_t slot, int32_t camera);

/* --- On-video logo, time and date (recording section) ---------------------- */
/* Forwarded to the card's companion filter. E_INVALIDARG: invalid card;
 * VFW_E_WRONG_STATE: the card was connected in YUV mode; E_FAIL: not
 * connected, or the filter refused (a missing or non-picture logo file). */
STROVA_API STROVA_STATUS Strova_SetLogoFile(int card, const char* path);
STROVA_API STROVA_STATUS Strova_ShowLogo(int card, int show, int x, int y);
STROVA_API STROVA_STATUS Strova_ShowTime(int card, int show, int x, int y);
STROVA_API STROVA_STATUS Strova_ShowDate(int card, int show, int x, int y);
/* The overlay sits before the card's split, so the preview, stills and every
 * recording carry the items whatever this value; it is kept for the caller.
 * Strova_GetVideoStream answers S_OK while the overlay stream exists. */
STROVA_API STROVA_STATUS Strova_ShowLogoTimeOnUserStream(int card, int value);

/* --- Graph diagnostics ------------------------------------------------------ */
STROVA_API int Strova_ListAllFilter(int card, const char* path);

/* --- Teletext, closed captions and WSS from the card's VBI ----------------- */
/* Strova_StartVbi decodes the card's VBI (the virtual card's broadcast, or a
 * V4L2 card's VBI device) on a thread of the library until Strova_StopVbi or
 * Strova_Uninitialize; it keeps running across disconnects of the graph.
 * Pages are cached per channel (the 16 used last), so a page seen before on
 * a channel is there at once when the card comes back to it.
 * S_OK; S_FALSE: already decoding (StopVbi: was not); E_INVALIDARG: invalid
 * card; E_FAIL: the card is not connected or has no VBI. */
STROVA_API STROVA_STATUS Strova_StartVbi(int32_t card);
STROVA_API STROVA_STATUS Strova_StopVbi(int32_t card);

#define STROVA_VBI_OFF 0          /* not decoding */
#define STROVA_VBI_WAITING 1      /* decoding; no teletext yet on this channel */
#define STROVA_VBI_TELETEXT 2     /* teletext arrives */
#define STROVA_VBI_NO_TELETEXT 3  /* none for 3 s on this channel */
#define STROVA_TEXT_NO_TELETEXT "no teletext on this channel"
STROVA_API STROVA_STATUS Strova_GetVbiState(int32_t card, int32_t* state);

/* A teletext page as text cells with colours: 25 rows of 40 columns, row 0
 * the page's header, row 24 the navigation row. Characters are Unicode (the
 * national character sets applied; block mosaics in U+EE00..U+EE7F, their
 * separated forms in U+EE80..U+EEFF); colours index `colours`. */
#define STROVA_TTX_ROWS 25
#define STROVA_TTX_COLUMNS 40
#define STROVA_TTX_CONCEAL 0x01       /* hidden until the user reveals */
#define STROVA_TTX_FLASH 0x02
#define STROVA_TTX_DOUBLE_HEIGHT 0x04 /* upper half; the cell below is covered */
#define STROVA_TTX_DOUBLE_WIDTH 0x08  /* left half; the cell right is covered */
#define STROVA_TTX_COVERED 0x10       /* the lower or right half of a larger character */
#define STROVA_TTX_TRANSPARENT 0x20   /* no background (outside a subtitle's box) */
typedef struct StrovaTeletextCell {
  uint16_t unicode;
  uint8_t foreground, background;
  uint8_t flags;
  uint8_t reserved[3];
} StrovaTeletextCell;
typedef struct StrovaTeletextPage {
  int32_t page;      /* 100..899 */
  int32_t subpage;   /* 0: the page has none; else 1..79 */
  int32_t links[4];  /* the red, green, yellow and cyan keys' pages; 0 = none */
  int32_t subtitle;  /* 1 for a subtitle or newsflash page (shown over the picture) */
  uint32_t colours[40]; /* 0xRRGGBB */
  StrovaTeletextCell cells[STROVA_TTX_ROWS][STROVA_TTX_COLUMNS];
} StrovaTeletextPage;
/* Copies page (100..899) of the tuned channel into *out (the caller's).
 * subpage: 0 the newest received, else 1..79. S_OK; S_FALSE: not received
 * on this channel (yet), *out untouched; E_INVALIDARG: invalid card, page or
 * subpage, null out; E_FAIL: not decoding. */
STROVA_API STROVA_STATUS Strova_GetTeletextPage(int32_t card, int32_t page, int32_t subpage,
                                                StrovaTeletextPage* out);
/* The subpages of page received on the tuned channel, ascending, up to max
 * written to subpages (may be null when max is 0). Returns their count (0:
 * none, or a page without subpages), or a negative status as above. */
STROVA_API int32_t Strova_GetTeletextSubpages(int32_t card, int32_t page, int32_t* subpages,
                                              int32_t max);
/* The newest header row's 32 characters (UTF-8) into text and its clock,
 * the row's last 8 characters ("14:48:19"), into clock; sizes in bytes,
 * always terminated; either buffer may be null. S_FALSE: no header yet. */
STROVA_API STROVA_STATUS Strova_GetTeletextHeader(int32_t card, char* text, int32_t textSize,
                                                  char* clock, int32_t clockSize);
/* The closed caption (CC1) now on screen, UTF-8, rows joined with '\n'; ""
 * when none. E_INVALIDARG: invalid card, null text, size < 1. */
STROVA_API STROVA_STATUS Strova_GetCaption(int32_t card, char* text, int32_t size);
/* The picture's aspect as the broadcast's wide-screen signalling says. */
#define STROVA_WSS_UNKNOWN 0
#define STROVA_WSS_4_3 1
#define STROVA_WSS_16_9 2
STROVA_API STROVA_STATUS Strova_GetWssAspect(int32_t card, int32_t* aspect);

#ifdef __cplusplus
}
#endif

#endif /* STROVA_STROVA_H */

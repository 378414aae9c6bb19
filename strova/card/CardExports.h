/* Card-control exports of libstrova: tuner, sound switch, remote control,
 * video standard, colour properties, property pages, input routing and the
 * camera switch. Status results are 0 (S_OK) or a negative code. */
#ifndef STROVA_CARD_EXPORTS_H
#define STROVA_CARD_EXPORTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Act on the card whose graph was built last; the first argument is unused.
 * Without a connected card each returns 0. */
int32_t SetTvChannelFreg(int32_t unused, int32_t frequencyKHz);
int32_t GetTvChannelOkay(int32_t unused, int32_t frequencyKHz);
int32_t GetRemoteData(void);
int32_t SetTVSoundData(int32_t unused, int32_t on);
int32_t SetADSoundData(int32_t unused, int32_t on);
/* Card model code: always 1. */
uint8_t Strova_GetDeviceID(void);

int32_t Strova_IsVideoSignalLocked(int32_t card, int32_t* locked);
int32_t Strova_GetVideoStandard(int32_t card, int32_t* current, int32_t* available);
int32_t Strova_SetVideoStandard(int32_t card, int32_t standard);
/* values: current, minimum, maximum, step, default, capability flags. */
int32_t Strova_GetVideoPropertyValue(int32_t card, int32_t property, int32_t values[6]);
int32_t Strova_SetVideoPropertyValue(int32_t card, int32_t property, int32_t value);
int32_t Strova_GetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t* b);
int32_t Strova_SetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t b);
int32_t Strova_IsPropertyExist(int32_t card, int32_t page, int32_t* exists);
int32_t Strova_DisplayPropertyDialogs(int32_t card, int32_t page, void* parent, const char* caption);
int32_t Strova_RouteInPinToOutPin(int32_t card, int32_t input, int32_t output);
int32_t Strova_WhatInPinRouteToOutPin(int32_t card, int32_t output, int32_t* input);
int32_t Strova_ChooseCamera_Ex(int32_t card, int32_t slot, int32_t camera);

/* The viewer's property-frame host: shows a modal dialog for page 0..11 of
 * the card over `parent` (the library links no toolkit) and returns its
 * status. Registering null removes the host; pages then fail with E_FAIL. */
typedef int32_t (*StrovaPropertyFrameHost)(void* user, int32_t card, int32_t page, void* parent,
                                           const char* caption);
void Strova_SetPropertyFrameHost(StrovaPropertyFrameHost host, void* user);

#ifdef __cplusplus
}
#endif

#endif

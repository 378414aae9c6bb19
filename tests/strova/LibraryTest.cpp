// Library start-up, device listing and card index validation.
#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StrovaLibrary, CardNumberBeforeInitialiseIsWrongState) {
  int count = 7;
  EXPECT_EQ(Strova_GetCardNumber(&count), VFW_E_WRONG_STATE);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(Strova_GetCardNumber(nullptr), E_INVALIDARG);
  int connected = 0;
  EXPECT_EQ(Strova_IsConnected(0, &connected), E_INVALIDARG);
  EXPECT_EQ(Strova_ConnectDevice(0, 0, nullptr), E_INVALIDARG);
}

TEST(StrovaLibrary, EnumerationListsVirtualCardLastAndCountsWithoutNames) {
  tellura::test::ScopedHome home;
  ASSERT_EQ(Strova_Initialize(), S_OK);
  int count = 0;
  ASSERT_EQ(Strova_GetCardNumber(&count), S_OK);
  ASSERT_GE(count, 1);

  int countOnly = -5;
  EXPECT_GE(Strova_EnumVideoCaptureDev(nullptr, &countOnly), 0);
  EXPECT_EQ(countOnly, count);
  EXPECT_GE(Strova_EnumVideoCaptureDev(nullptr, nullptr), 0);

  char names[STROVA_MAX_CARDS * STROVA_NAME_LEN];
  std::memset(names, 'x', sizeof names);
  int listed = 0;
  EXPECT_EQ(Strova_EnumVideoCaptureDev(names, &listed), S_FALSE);  // fewer than 32: list ran out
  ASSERT_EQ(listed, count);
  const char* last = names + (listed - 1) * STROVA_NAME_LEN;
  EXPECT_LT(std::strlen(last), static_cast<size_t>(STROVA_NAME_LEN));
  EXPECT_NE(std::string(last).find("Quorvel Tellura Capture"), std::string::npos);
  EXPECT_EQ(names[listed * STROVA_NAME_LEN], 'x');  // nothing written past the list
  Strova_Uninitialize();
}

TEST(StrovaLibrary, InvalidCardIndicesAreRejected) {
  tellura::test::ScopedHome home;
  ASSERT_EQ(Strova_Initialize(), S_OK);
  int count = 0;
  Strova_GetCardNumber(&count);
  int value = 0;
  StrovaRect rect{};
  VideoInfo info{};
  for (int card : {-1, count, 32, 1000}) {
    SCOPED_TRACE(card);
    EXPECT_EQ(Strova_ConnectDevice(card, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(Strova_DisconnectDevice(card), E_INVALIDARG);
    EXPECT_EQ(Strova_IsConnected(card, &value), E_INVALIDARG);
    EXPECT_EQ(Strova_GetStreamStatus(card, &value), E_INVALIDARG);
    EXPECT_EQ(Strova_SetStreamStatus(card, 0), E_INVALIDARG);
    EXPECT_EQ(Strova_SetWindowPos(card, 0, 0, 10, 10), E_INVALIDARG);
    EXPECT_EQ(Strova_GetWindowPos(card, &rect), E_INVALIDARG);
    EXPECT_EQ(Strova_SetNotifyWindow(card, nullptr, 0x400), E_INVALIDARG);
    EXPECT_EQ(Strova_GetVideoInfo(card, &info, STROVA_PIN_PREVIEW), E_INVALIDARG);
    EXPECT_EQ(Strova_SetVideoInfo(card, info, STROVA_PIN_PREVIEW), E_INVALIDARG);
    Strova_ManageNotifyMessage(card);  // must simply return
  }
  Strova_Uninitialize();
}

TEST(StrovaLibrary, UnconnectedCardReportsFailuresNotSuccess) {
  tellura::test::ScopedHome home;
  ASSERT_EQ(Strova_Initialize(), S_OK);
  const int card = strova_test::VirtualCard();
  int value = 5;
  EXPECT_EQ(Strova_IsConnected(card, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(Strova_IsConnected(card, nullptr), E_INVALIDARG);
  EXPECT_EQ(Strova_GetStreamStatus(card, &value), E_FAIL);
  EXPECT_EQ(value, STROVA_STATE_STOPPED);
  EXPECT_EQ(Strova_SetStreamStatus(card, STROVA_STATE_RUNNING), E_FAIL);
  EXPECT_EQ(Strova_SetNotifyWindow(card, nullptr, 0x400), E_FAIL);
  EXPECT_EQ(Strova_FullScreen(card, 1), E_FAIL);
  VideoInfo info{};
  EXPECT_EQ(Strova_GetVideoInfo(card, &info, STROVA_PIN_PREVIEW), E_FAIL);
  EXPECT_EQ(Strova_GetVideoInfo(card, nullptr, STROVA_PIN_PREVIEW), E_INVALIDARG);
  EXPECT_EQ(Strova_GetVideoInfo(card, &info, 3), E_INVALIDARG);
  EXPECT_EQ(Strova_SetDispMode(0), 1);
  EXPECT_EQ(Strova_SetDispMode(1), 1);
  Strova_Uninitialize();
}

}  // namespace

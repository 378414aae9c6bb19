// The virtual card's IR receiver socket: keys arrive in order, garbage and
// floods are dropped without blocking the poll.
#include "strova/card/RemoteProtocol.h"
#include "strova/card/Tuner.h"
#include "strova/card/VirtualCard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/wait.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

void Send(const std::string& data) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = sc::RemoteSocketPath();
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  sendto(fd, data.data(), data.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  close(fd);
}

// What the library's remote poll does: read the key, acknowledge it.
uint32_t PollKey(sc::Card& card) {
  uint32_t w = 0;
  card.ReadControlWord(&w);
  card.WriteControlWord(w | sc::kKeyMask);
  return w & sc::kKeyMask;
}

}  // namespace

TEST(RemoteProtocol, ParsesCodesAndNames) {
  EXPECT_EQ(sc::ParseRemoteMessage("18"), 18);
  EXPECT_EQ(sc::ParseRemoteMessage("0xFF\n"), 0xFF);
  EXPECT_EQ(sc::ParseRemoteMessage("0"), 0);
  EXPECT_FALSE(sc::ParseRemoteMessage("0x1FF"));  // the no-key value is never a key
  EXPECT_FALSE(sc::ParseRemoteMessage("512"));
  EXPECT_FALSE(sc::ParseRemoteMessage("-1"));
  EXPECT_FALSE(sc::ParseRemoteMessage("12a"));
  EXPECT_FALSE(sc::ParseRemoteMessage(""));
  EXPECT_FALSE(sc::ParseRemoteMessage("99999999999999999999"));
  EXPECT_EQ(sc::RemoteKeyCode("0"), 18);
  EXPECT_EQ(sc::RemoteKeyCode("next"), 50);
  EXPECT_EQ(sc::RemoteKeyCode("0x40"), 64);
  EXPECT_FALSE(sc::RemoteKeyCode("nonsense"));
}

TEST(RemoteSocket, KeysArriveInOrderAndGarbageIsDropped) {
  tellura::test::ScopedHome home;
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  Send("144");
  Send("garbage");
  Send(std::string(4000, 'x'));
  Send(std::string("\0\1\2", 3));
  Send("0xFF");
  EXPECT_EQ(PollKey(card), 144u);
  EXPECT_EQ(PollKey(card), 0xFFu);
  EXPECT_EQ(PollKey(card), sc::kNoKey);
}

TEST(RemoteSocket, FloodDoesNotBlockThePoll) {
  tellura::test::ScopedHome home;
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  for (int i = 0; i < 5000; ++i) Send(i % 3 ? "junk" : "50");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 200; ++i) PollKey(card);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(PollKey(card) & 0x100, 0x100u);  // queue drained, bounded
}

TEST(RemoteSocket, StaleSocketIsReplacedAndALiveOneKept) {
  tellura::test::ScopedHome home;
  { sc::RemoteReceiver first(sc::RemoteSocketPath()); ASSERT_TRUE(first.Listening()); }
  // A socket file left behind by a dead process.
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sc::RemoteSocketPath().c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
  sc::RemoteReceiver second(sc::RemoteSocketPath());
  EXPECT_TRUE(second.Listening());
  sc::RemoteReceiver third(sc::RemoteSocketPath());
  EXPECT_FALSE(third.Listening());  // the live receiver keeps the path
}

TEST(RemoteCommand, SendsNamedKeysRawCodesAndRepeats) {
  tellura::test::ScopedHome home;
  const std::string tool = tellura::test::BinDir() + "/tellura-remote";
  EXPECT_NE(std::system((tool + " 0 >/dev/null 2>&1").c_str()), 0);  // no receiver yet
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  ASSERT_EQ(std::system((tool + " --gap 0 next 0x40 --hold 250 5").c_str()), 0);
  EXPECT_EQ(PollKey(card), 50u);
  EXPECT_EQ(PollKey(card), 64u);
  EXPECT_EQ(PollKey(card), 216u);
  EXPECT_EQ(PollKey(card), 0xFFu);  // held: two repeat codes in 250 ms
  EXPECT_EQ(PollKey(card), 0xFFu);
  EXPECT_EQ(PollKey(card), sc::kNoKey);
  EXPECT_EQ(WEXITSTATUS(std::system((tool + " bogus 2>/dev/null").c_str())), 2);
}

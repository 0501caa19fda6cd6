#include "socket/zozud_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/streams.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::PeerScript;
using testing::ScriptedPeer;

// A blocking socket as the connection component uses it.
std::unique_ptr<TZozudSocket> BlockingSocket() {
  auto socket = std::make_unique<TZozudSocket>();
  socket->SetAsyncStyles(0);
  return socket;
}

// A port on which nothing listens: bound once, then released.
uint16_t DeadPort() {
  TZozudSocket probe;
  probe.SetAsyncStyles(0);
  probe.Listen("", "127.0.0.1", "", 0, 1);
  uint16_t port = static_cast<uint16_t>(probe.GetLocalPort());
  probe.Close();
  return port;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EZozudSocketError& e) {
    return e.Message();
  }
  return "(no error)";
}

int g_reported_error = 0;
void RecordError(int error) { g_reported_error = error; }

TEST(ZozudSocket, AddressesAndServicesResolveWithNameAndServiceWinning) {
  TZozudSocket socket;
  EXPECT_EQ(socket.LookupName("nosuch.invalid"), 0u);
  EXPECT_EQ(socket.LookupName("localhost"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(socket.LookupService("no-such-service"), 0);

  sockaddr_in addr = socket.InitSocket("localhost", "10.1.2.3", "", 4321, true);
  EXPECT_EQ(addr.sin_family, AF_INET);
  EXPECT_EQ(addr.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(addr.sin_port, htons(4321));
  addr = socket.InitSocket("", "10.1.2.3", "", 4321, true);
  EXPECT_EQ(addr.sin_addr.s_addr, inet_addr("10.1.2.3"));
  if (socket.LookupService("ftp") == 21) {
    addr = socket.InitSocket("", "10.1.2.3", "ftp", 4321, true);
    EXPECT_EQ(addr.sin_port, htons(21));
  }
  EXPECT_EQ(ErrorOf([&] { socket.InitSocket("", "", "", 1, true); }), sNoAddress);
  EXPECT_EQ(socket.InitSocket("", "", "", 1, false).sin_addr.s_addr, 0u);
}

TEST(ZozudSocket, OpenConnectsAndReportsBothEnds) {
  ScriptedPeer peer;
  auto socket = BlockingSocket();
  EXPECT_EQ(socket->GetLocalPort(), -1);
  EXPECT_EQ(socket->GetRemotePort(), 0);

  // The host name wins over a useless address.
  EXPECT_TRUE(socket->Open("localhost", "10.255.255.1", "", peer.Port()));
  EXPECT_TRUE(socket->Connected());
  EXPECT_EQ(socket->GetRemoteAddress(), "127.0.0.1");
  EXPECT_EQ(socket->GetRemotePort(), peer.Port());
  EXPECT_GT(socket->GetLocalPort(), 0);
  EXPECT_EQ(ErrorOf([&] { socket->Open("", "127.0.0.1", "", peer.Port()); }),
            sSocketAlreadyOpen);

  // Disconnect ignores handles that are not the socket's own.
  socket->Disconnect(kInvalidSocket);
  socket->Disconnect(socket->SocketHandle() + 1000);
  EXPECT_TRUE(socket->Connected());
  socket->Close();
  EXPECT_FALSE(socket->Connected());
  EXPECT_EQ(socket->SocketHandle(), kInvalidSocket);
  EXPECT_TRUE(peer.WaitEnded(0));

  // A closed object opens again.
  EXPECT_TRUE(socket->Open("", "127.0.0.1", "", peer.Port()));
  EXPECT_TRUE(socket->Connected());
}

TEST(ZozudSocket, FailedOpenReleasesTheAttemptAndRefusesAddressZero) {
  ScriptedPeer peer;
  auto socket = BlockingSocket();
  uint16_t dead = DeadPort();
  EXPECT_EQ(ErrorOf([&] { socket->Open("", "127.0.0.1", "", dead); }),
            sServerNotReady);
  EXPECT_EQ(socket->SocketHandle(), kInvalidSocket);
  EXPECT_FALSE(socket->Connected());

  // An unknown host resolves to 0, which would reach this machine's peer.
  EXPECT_EQ(ErrorOf([&] { socket->Open("nosuch.invalid", "", "", peer.Port()); }),
            sServerNotReady);
  EXPECT_EQ(ErrorOf([&] { socket->Open("", "", "", peer.Port()); }),
            sServerNotReady);
  EXPECT_EQ(peer.Accepted(), 0);

  // With an error procedure, the failed connect is handed to it instead.
  TSocketErrorProc previous = SetErrorProc(RecordError);
  g_reported_error = 0;
  EXPECT_TRUE(socket->Open("", "127.0.0.1", "", dead));
  EXPECT_EQ(g_reported_error, ECONNREFUSED);
  SetErrorProc(previous);
}

TEST(ZozudSocket, TransfersMoveBytesAndPeekLeavesThemWaiting) {
  ScriptedPeer peer;
  peer.Add(PeerScript().Write(std::string("ab\0cd", 5)));
  auto socket = BlockingSocket();
  ASSERT_TRUE(socket->Open("", "127.0.0.1", "", peer.Port()));

  // Wait (bounded) for the five bytes to be waiting.
  for (int i = 0; i < 2500 && socket->ReceiveLength() < 5; ++i) {
    usleep(2000);
  }
  EXPECT_EQ(socket->ReceiveLength(), 5);
  EXPECT_EQ(socket->ReceiveText(), std::string("ab\0cd", 5));

  socket->SendText(std::string("x\0y", 3));
  auto stream = std::unique_ptr<TStream>(new TStringStream(std::string(10000, 's')));
  EXPECT_TRUE(socket->SendStreamThenDrop(std::move(stream)));
  EXPECT_FALSE(socket->Connected());
  EXPECT_TRUE(peer.WaitEnded(0));
  EXPECT_EQ(peer.Received(0), std::string("x\0y", 3) + std::string(10000, 's'));

  // A stream waiting on an unconnected socket keeps later ones out; those
  // stay with the caller.
  TZozudSocket idle;
  EXPECT_FALSE(idle.SendStream(std::make_unique<TStringStream>("first")));
  std::unique_ptr<TStream> second = std::make_unique<TStringStream>("second");
  EXPECT_FALSE(idle.SendStream(std::move(second)));
  EXPECT_NE(second, nullptr);
}

TEST(ZozudSocket, NegativeCountsAreRefusedAndLeaveTheSocketOpen) {
  ScriptedPeer peer;
  auto socket = BlockingSocket();
  ASSERT_TRUE(socket->Open("", "127.0.0.1", "", peer.Port()));
  char buffer[4];
  EXPECT_EQ(ErrorOf([&] { socket->SendBuf("x", -1); }), "Invalid byte count -1 on API 'send'");
  EXPECT_EQ(ErrorOf([&] { socket->ReceiveBuf(buffer, -2); }),
            "Invalid byte count -2 on API 'recv'");
  EXPECT_EQ(ErrorOf([&] { socket->ReceiveBuf(buffer, INT32_MIN); }),
            "Invalid byte count -2147483648 on API 'recv'");
  EXPECT_TRUE(socket->Connected());
  EXPECT_EQ(socket->SendBuf("x", 1), 1);
}

TEST(ZozudSocket, SendingToAVanishedPeerRaisesInsteadOfSignalling) {
  ScriptedPeer peer;
  peer.Add(PeerScript().Close());
  auto socket = BlockingSocket();
  ASSERT_TRUE(socket->Open("", "127.0.0.1", "", peer.Port()));
  ASSERT_TRUE(peer.WaitEnded(0));

  std::string error;
  for (int i = 0; i < 2000 && error.empty(); ++i) {
    try {
      socket->SendText("ping");
    } catch (const EZozudSocketError& e) {
      error = e.Message();
    }
    usleep(1000);
  }
  EXPECT_NE(error.find("on API 'send'"), std::string::npos) << error;
  EXPECT_EQ(error.rfind("Server is not ready: ", 0), 0u) << error;
  EXPECT_FALSE(socket->Connected());
  EXPECT_EQ(socket->SocketHandle(), kInvalidSocket);
}

}  // namespace
}  // namespace orv

#include "ftp/FtpClient.h"

#include "FtpTestServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

#include <algorithm>
#include <map>
#include <thread>

using namespace testing_support;

namespace {

using TestServer = FtpTestServer;

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = FtpTestServer::Read();
    ASSERT_NE(server.port, 0) << "the FTP test server is not running (BRIMLARK_FTP_STATE)";
    // Each test works in a folder of its own on the server.
    folder = L"/" + text::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
    local = server.home + L"\\" + folder.substr(1);
    ASSERT_TRUE(MakeTestFolder(local));
  }

  FtpConnectOptions Options(bool passive = true) {
    return FtpConnectOptions{L"127.0.0.1", server.port, L"brimlark", L"secret pass", passive, 10000};
  }

  std::vector<WideString> Names(FtpClient& client, WideView directory) {
    std::vector<FtpFindRecord> entries;
    EXPECT_TRUE(client.List(directory, entries));
    std::vector<WideString> names;
    for (const auto& entry : entries) names.push_back(entry.name + (entry.IsDirectory() ? L"/" : L""));
    std::sort(names.begin(), names.end());
    return names;
  }

  TestServer server;
  WideString folder;
  WideString local;
};

TEST_F(FtpClientTest, LogsInAndLearnsTheFeatures) {
  FtpClient client;
  ASSERT_TRUE(client.Connect(Options()));
  EXPECT_TRUE(client.usesUtf8());
  EXPECT_TRUE(client.hasMlsd());
  WideString current;
  ASSERT_TRUE(client.QueryCurrentDirectory(current));
  EXPECT_EQ(current, L"/");

  FtpClient wrong;
  FtpConnectOptions options = Options();
  options.password = L"not it";
  EXPECT_FALSE(wrong.Connect(options));
  EXPECT_EQ(wrong.lastReply().code, 530);
}

// A hostile server could send a listing without end until the process runs out of memory.
TEST_F(FtpClientTest, AListingOfMoreThan64MebibytesIsRefused) {
  ASSERT_NE(server.droppingPort, 0) << "the test server has no misbehaving port";
  ASSERT_TRUE(MakeTestFolder(local + L"\\endless-listing"));
  FtpClient client;
  FtpConnectOptions options = Options();
  options.port = server.droppingPort;
  ASSERT_TRUE(client.Connect(options));
  std::vector<FtpFindRecord> entries;
  EXPECT_FALSE(client.List(folder + L"/endless-listing", entries));
  EXPECT_TRUE(client.listingTooLarge());
  EXPECT_TRUE(entries.empty());
  // The session goes on.
  EXPECT_EQ(Names(client, folder), std::vector<WideString>{L"endless-listing/"});
  EXPECT_FALSE(client.listingTooLarge());
}

TEST_F(FtpClientTest, ListsNamesExactly) {
  ASSERT_TRUE(WriteTestFile(local + L"\\plain.txt", "12345"));
  ASSERT_TRUE(WriteTestFile(local + L"\\ two  blanks .txt ", "x"));
  ASSERT_TRUE(WriteTestFile(local + L"\\Gr\u00fc\u00dfe \u65e5\u672c.txt", "y"));
  ASSERT_TRUE(MakeTestFolder(local + L"\\sub folder"));
  ASSERT_TRUE(MakeTestFolder(local + L"\\empty"));
  FtpClient client;
  ASSERT_TRUE(client.Connect(Options()));
  EXPECT_EQ(Names(client, folder), (std::vector<WideString>{L" two  blanks .txt ", L"Gr\u00fc\u00dfe \u65e5\u672c.txt",
                                                            L"empty/", L"plain.txt", L"sub folder/"}));
  std::vector<FtpFindRecord> entries;
  ASSERT_TRUE(client.List(folder + L"/empty", entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(client.List(folder + L"/missing", entries));
  ASSERT_TRUE(client.List(folder, entries));
  auto plain = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.name == L"plain.txt"; });
  ASSERT_NE(plain, entries.end());
  EXPECT_EQ(plain->size, 5u);
}

TEST_F(FtpClientTest, UploadsAndDownloadsInBothDataModes) {
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 4096);
  for (bool passive : {true, false}) {
    FtpClient client;
    ASSERT_TRUE(client.Connect(Options(passive)));
    WideString path = folder + (passive ? L"/passive.bin" : L"/active.bin");
    ASSERT_TRUE(client.OpenForWriting(path)) << passive;
    for (size_t at = 0; at < content.size(); at += 1 << 20) {
      ASSERT_TRUE(client.Write(content.data() + at, std::min<size_t>(1 << 20, content.size() - at)));
    }
    ASSERT_TRUE(client.FinishTransfer());
    EXPECT_EQ(ReadTestFile(local + (passive ? L"\\passive.bin" : L"\\active.bin")), content);

    ASSERT_TRUE(client.OpenForReading(path));
    std::string back;
    std::vector<char> buffer(1 << 16);
    for (int got; (got = client.Read(buffer.data(), buffer.size())) > 0;) back.append(buffer.data(), got);
    ASSERT_TRUE(client.FinishTransfer());
    EXPECT_EQ(back, content);
  }
}

TEST_F(FtpClientTest, DirectoriesAndDeletion) {
  FtpClient client;
  ASSERT_TRUE(client.Connect(Options()));
  ASSERT_TRUE(client.MakeDirectory(folder + L"/new dir"));
  EXPECT_TRUE(AttributesOf(local + L"\\new dir") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(client.MakeDirectory(folder + L"/a/b/c"));  // one level at a time
  ASSERT_TRUE(client.ChangeDirectory(folder + L"/new dir"));
  WideString current;
  ASSERT_TRUE(client.QueryCurrentDirectory(current));
  EXPECT_EQ(current, folder + L"/new dir");
  EXPECT_FALSE(client.ChangeDirectory(folder + L"/nowhere"));

  ASSERT_TRUE(WriteTestFile(local + L"\\gone.txt", "x"));
  EXPECT_TRUE(client.DeleteRemoteFile(folder + L"/gone.txt"));
  EXPECT_FALSE(Exists(local + L"\\gone.txt"));
  EXPECT_FALSE(client.DeleteRemoteFile(folder + L"/gone.txt"));
  ASSERT_TRUE(WriteTestFile(local + L"\\new dir\\inside.txt", "x"));
  EXPECT_FALSE(client.RemoveRemoteDirectory(folder + L"/new dir"));  // not empty
  EXPECT_TRUE(client.DeleteRemoteFile(folder + L"/new dir/inside.txt"));
  EXPECT_TRUE(client.RemoveRemoteDirectory(folder + L"/new dir"));
}

TEST_F(FtpClientTest, AbandonedTransferLeavesTheConnectionUsable) {
  ASSERT_TRUE(WriteTestFile(local + L"\\big.bin", std::string(8 << 20, 'b')));
  FtpClient client;
  ASSERT_TRUE(client.Connect(Options()));
  ASSERT_TRUE(client.OpenForReading(folder + L"/big.bin"));
  char buffer[4096];
  EXPECT_GT(client.Read(buffer, sizeof(buffer)), 0);
  client.AbandonTransfer();
  EXPECT_EQ(Names(client, folder), std::vector<WideString>{L"big.bin"});
  EXPECT_FALSE(client.OpenForReading(folder + L"/missing.bin"));
  EXPECT_EQ(Names(client, folder), std::vector<WideString>{L"big.bin"});
}

TEST_F(FtpClientTest, ALineBreakInANameNeverReachesTheServer) {
  ASSERT_TRUE(WriteTestFile(local + L"\\keep.txt", "keep"));
  FtpClient client;
  ASSERT_TRUE(client.Connect(Options()));
  WideString hostile = folder + L"/x\r\nDELE " + folder + L"/keep.txt";
  EXPECT_FALSE(client.MakeDirectory(hostile));
  EXPECT_FALSE(client.DeleteRemoteFile(folder + L"/x\nDELE keep.txt"));
  EXPECT_FALSE(client.OpenForWriting(folder + L"/y" + WideString(1, L'\0') + L"z"));
  EXPECT_EQ(ReadTestFile(local + L"\\keep.txt"), "keep");
  EXPECT_FALSE(Exists(local + L"\\x"));
  // The session goes on.
  EXPECT_EQ(Names(client, folder), std::vector<WideString>{L"keep.txt"});
}

// A listening socket on 127.0.0.1 at a port the system picks; closed when anything fails.
Socket ListenOnLoopback(uint16_t& port) {
  Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (bind(listener.handle(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener.handle(), 1) != 0 ||
      getsockname(listener.handle(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    listener.Close();
    return listener;
  }
  port = ntohs(address.sin_port);
  return listener;
}

TEST(FtpClientFailure, AnEndlessReplyEndsTheSession) {
  ASSERT_TRUE(StartWinsock());
  uint16_t port = 0;
  Socket listener = ListenOnLoopback(port);
  ASSERT_TRUE(listener.IsOpen());

  // A greeting that never ends: the server sends lines until the client hangs up, or 100,000 of them.
  constexpr int kLines = 100000;
  int sent = 0;
  std::thread server([&] {
    Socket peer(accept(listener.handle(), nullptr, nullptr));
    std::string first = "220-welcome\r\n";
    if (!peer.SendAll(first.data(), first.size())) return;
    std::string line = " and more\r\n";
    while (sent < kLines && peer.SendAll(line.data(), line.size())) ++sent;
    char drain[16];
    (void)recv(peer.handle(), drain, sizeof(drain), 0);  // until the client hangs up
  });
  FtpClient client;
  EXPECT_FALSE(client.Connect(FtpConnectOptions{L"127.0.0.1", port, L"u", L"p", true, 5000}));
  client.Close();
  server.join();
  EXPECT_LT(sent, kLines) << "the client read the whole endless reply";
}

// The cancel of a run breaks off a worker's call from another thread. The handle must stay open until its
// owner closes it: a handle value closed under a blocked call could be taken by the next connection.
TEST(FtpClientFailure, NoServerFailsAtOnceAndAbortUnblocksAWaitLeavingTheCloseToTheOwner) {
  ASSERT_TRUE(StartWinsock());
  // A listener that accepts but never greets: the client waits for the greeting until aborted.
  uint16_t port = 0;
  Socket silent = ListenOnLoopback(port);
  ASSERT_TRUE(silent.IsOpen());

  FtpClient client;
  std::thread aborter([&] {
    Sleep(300);
    client.Abort();
  });
  ULONGLONG started = GetTickCount64();
  EXPECT_FALSE(client.Connect(FtpConnectOptions{L"127.0.0.1", port, L"u", L"p", true, 60000}));
  EXPECT_LT(GetTickCount64() - started, 20000u);
  aborter.join();

  uint16_t quietPort = 0;
  Socket quiet = ListenOnLoopback(quietPort);
  Socket connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1", quietPort, 60000));
  SOCKET handle = connection.handle();
  std::atomic<int> got{1};
  std::thread reader([&] {
    char byte = 0;
    got = connection.Receive(&byte, 1);
  });
  Sleep(200);  // the reader is blocked by then; the assertions hold either way
  started = GetTickCount64();
  connection.Abort();
  reader.join();
  EXPECT_LT(GetTickCount64() - started, 5000u);
  EXPECT_EQ(got, -1);
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.handle(), handle);
  int type = 0;
  int length = sizeof(type);
  EXPECT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), 0)
      << "the handle was closed by the other thread";
  char byte = 0;
  EXPECT_EQ(connection.Receive(&byte, 1), -1);  // later calls fail at once
  connection.Close();

  silent.Close();  // now nobody listens there
  FtpClient refused;
  started = GetTickCount64();
  EXPECT_FALSE(refused.Connect(FtpConnectOptions{L"127.0.0.1", port, L"u", L"p", true, 5000}));
  EXPECT_LT(GetTickCount64() - started, 6000u);
}

}  // namespace

namespace {

class MemoryPins final : public CertificatePins {
 public:
  std::optional<std::string> Find(const std::string& key) override {
    auto found = pins.find(key);
    if (found == pins.end()) return std::nullopt;
    return found->second;
  }
  void Remember(const std::string& key, const std::string& fingerprint) override { pins[key] = fingerprint; }
  std::map<std::string, std::string> pins;
};

class FtpsClientTest : public FtpClientTest {
 protected:
  FtpConnectOptions Secure(CertificatePins* pinStore, bool passive = true) {
    // Wine's SChannel matches no IP addresses in certificates: the server is reached by its name.
    FtpConnectOptions options{L"localhost", server.tlsPort, L"brimlark", L"secret pass", passive, 10000};
    options.useTls = true;
    options.pins = pinStore;
    return options;
  }
};

TEST_F(FtpsClientTest, EncryptsEverythingAndPinsTheCertificateOnFirstUse) {
  ASSERT_NE(server.tlsPort, 0);
  ASSERT_TRUE(WriteTestFile(local + L"\\listed.txt", "listed"));
  MemoryPins pins;
  std::string content(1024 * 1024 + 3, 's');
  for (bool passive : {true, false}) {
    FtpClient client;
    ASSERT_TRUE(client.Connect(Secure(&pins, passive))) << text::ToUtf8(client.failureReason());
    EXPECT_EQ(Names(client, folder).size(), passive ? 1u : 2u);
    WideString path = folder + (passive ? L"/up-passive.bin" : L"/up-active.bin");
    ASSERT_TRUE(client.OpenForWriting(path));
    ASSERT_TRUE(client.Write(content.data(), content.size()));
    ASSERT_TRUE(client.FinishTransfer());
    ASSERT_TRUE(client.OpenForReading(path));
    std::string back;
    char buffer[65536];
    for (int got; (got = client.Read(buffer, sizeof(buffer))) > 0;) back.append(buffer, got);
    ASSERT_TRUE(client.FinishTransfer());
    EXPECT_EQ(back, content);
  }
  ASSERT_EQ(pins.pins.size(), 1u);
  EXPECT_EQ(pins.pins.begin()->first, "localhost:" + std::to_string(server.tlsPort));
  EXPECT_EQ(pins.pins.begin()->second.size(), 64u);
}

TEST_F(FtpsClientTest, AChangedOrUntrustedCertificateIsRefused) {
  ASSERT_NE(server.tlsPort, 0);
  MemoryPins changed;
  changed.pins["localhost:" + std::to_string(server.tlsPort)] = std::string(64, 'A');
  FtpClient client;
  EXPECT_FALSE(client.Connect(Secure(&changed)));
  EXPECT_NE(client.failureReason().find(L"certificate changed"), WideString::npos);

  FtpClient nowhereToPin;
  EXPECT_FALSE(nowhereToPin.Connect(Secure(nullptr)));
  EXPECT_NE(nowhereToPin.failureReason().find(L"not trusted"), WideString::npos);
}

TEST_F(FtpsClientTest, APlainServerNeverSeesThePassword) {
  FtpConnectOptions options = Options();
  options.useTls = true;
  MemoryPins pins;
  options.pins = &pins;
  FtpClient client;
  EXPECT_FALSE(client.Connect(options));
  EXPECT_EQ(client.failureReason(), L"the server does not offer TLS");
  EXPECT_NE(client.lastReply().code, 331);  // USER was never sent, so neither was PASS
}

}  // namespace

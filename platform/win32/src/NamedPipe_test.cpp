#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/win32/Win32.h"

namespace {

constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\pipeTest";

struct ReadResult {
  BOOL ok;
  DWORD error;
  std::string bytes;
};

// Every test gets a kernel-object folder of its own.
class NamedPipeTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "pipe-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    setenv("TARVIK_KERNEL_OBJECTS", m_root.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(m_root);
    unsetenv("TARVIK_KERNEL_OBJECTS");
  }

  static HANDLE Serve(LPCWSTR name = kPipeName) {
    return CreateNamedPipeW(name, PIPE_ACCESS_INBOUND,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 3, 0, 0, 1000,
                            nullptr);
  }
  static HANDLE Open(LPCWSTR name = kPipeName, DWORD access = GENERIC_WRITE) {
    return CreateFileW(name, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  static BOOL Write(HANDLE client, const std::string& bytes) {
    DWORD written = 0;
    BOOL ok = WriteFile(client, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok) {
      EXPECT_EQ(written, bytes.size());
    }
    return ok;
  }
  static ReadResult Read(HANDLE server, DWORD size = 48) {
    std::string buffer(size, '\0');
    DWORD read = 0;
    SetLastError(0);
    BOOL ok = ReadFile(server, buffer.data(), size, &read, nullptr);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    buffer.resize(read);
    return {ok, error, buffer};
  }
  // A server and a client that connected before ConnectNamedPipe was called.
  static void ConnectEarly(HANDLE* server, HANDLE* client) {
    *server = Serve();
    ASSERT_NE(*server, INVALID_HANDLE_VALUE);
    *client = Open();
    ASSERT_NE(*client, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_FALSE(ConnectNamedPipe(*server, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
  }
  static void ExpectOpenFails(DWORD error) {
    SetLastError(0);
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error);
  }

  std::string m_root;
};

TEST_F(NamedPipeTest, OneMessagePerReadAndALongerOneInParts) {
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE client = INVALID_HANDLE_VALUE;
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &client));

  std::string record(48, 'r');
  std::string shortMessage = "0123456789";
  std::string longMessage = std::string(48, 'a') + "b";
  ASSERT_TRUE(Write(client, record));
  ASSERT_TRUE(Write(client, shortMessage));
  ASSERT_TRUE(Write(client, longMessage));
  ASSERT_TRUE(Write(client, record));

  ReadResult first = Read(server);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.bytes, record);
  ReadResult second = Read(server);
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.bytes, shortMessage);
  // 49 bytes: the first 48 with ERROR_MORE_DATA, then the last one alone.
  ReadResult head = Read(server);
  EXPECT_FALSE(head.ok);
  EXPECT_EQ(head.error, static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(head.bytes, longMessage.substr(0, 48));
  ReadResult tail = Read(server);
  EXPECT_TRUE(tail.ok);
  EXPECT_EQ(tail.bytes, "b");
  ReadResult last = Read(server);
  EXPECT_TRUE(last.ok);
  EXPECT_EQ(last.bytes, record);

  EXPECT_TRUE(CloseHandle(client));
  EXPECT_TRUE(CloseHandle(server));
}

TEST_F(NamedPipeTest, ClientLeavingBreaksThePipeUntilTheServerTakesTheNext) {
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE first = INVALID_HANDLE_VALUE;
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &first));
  ASSERT_TRUE(Write(first, "last words"));
  EXPECT_TRUE(CloseHandle(first));

  // What the client wrote before it left is still read.
  EXPECT_EQ(Read(server).bytes, "last words");
  for (int attempt = 0; attempt < 2; ++attempt) {
    ReadResult broken = Read(server);
    EXPECT_FALSE(broken.ok);
    EXPECT_EQ(broken.error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  }
  EXPECT_TRUE(DisconnectNamedPipe(server));
  EXPECT_EQ(Read(server).error, static_cast<DWORD>(ERROR_PIPE_NOT_CONNECTED));

  // ConnectNamedPipe waits for the next client.
  std::thread next([] {
    HANDLE second = INVALID_HANDLE_VALUE;
    // Busy until the server is back in ConnectNamedPipe.
    while ((second = Open()) == INVALID_HANDLE_VALUE)
      ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
    EXPECT_TRUE(Write(second, "second client"));
    EXPECT_TRUE(CloseHandle(second));
  });
  EXPECT_TRUE(ConnectNamedPipe(server, nullptr));
  next.join();
  EXPECT_EQ(Read(server).bytes, "second client");
  EXPECT_EQ(Read(server).error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_TRUE(CloseHandle(server));
}

TEST_F(NamedPipeTest, OneClientAtATime) {
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE first = INVALID_HANDLE_VALUE;
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &first));

  ExpectOpenFails(ERROR_PIPE_BUSY);
  // Gone but not yet disconnected, the first client still holds the instance.
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_EQ(Read(server).error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  ExpectOpenFails(ERROR_PIPE_BUSY);

  // A second server for the name while the first serves it.
  EXPECT_EQ(Serve(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
  EXPECT_TRUE(CloseHandle(server));
}

TEST_F(NamedPipeTest, ClientWritesFailOnceTheServerEndIsGone) {
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE client = INVALID_HANDLE_VALUE;
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &client));
  EXPECT_TRUE(DisconnectNamedPipe(server));
  EXPECT_FALSE(Write(client, "after disconnect"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
  EXPECT_TRUE(CloseHandle(client));

  // Closed, the server gives its name back.
  EXPECT_TRUE(CloseHandle(server));
  ExpectOpenFails(ERROR_FILE_NOT_FOUND);
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &client));
  EXPECT_TRUE(CloseHandle(server));
  EXPECT_FALSE(Write(client, "after close"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
  EXPECT_TRUE(CloseHandle(client));
}

TEST_F(NamedPipeTest, SocketLeftByAnEndedServerIsReplaced) {
  std::filesystem::create_directories(m_root + "/Pipes");
  std::ofstream(m_root + "/Pipes/pipeTest") << "left over";
  std::ofstream(m_root + "/Pipes/pipeTest.lock");

  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE client = INVALID_HANDLE_VALUE;
  ASSERT_NO_FATAL_FAILURE(ConnectEarly(&server, &client));
  EXPECT_TRUE(CloseHandle(client));
  EXPECT_TRUE(CloseHandle(server));
}

TEST_F(NamedPipeTest, RefusedOpens) {
  HANDLE server = Serve();
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  struct Case {
    const char* what;
    LPCWSTR name;
    DWORD access;
    DWORD error;
  } cases[] = {
      {"no server", L"\\\\.\\pipe\\nobody", GENERIC_WRITE, ERROR_FILE_NOT_FOUND},
      // A file on disk, which the stand-in only makes anew.
      {"not a pipe name", L"C:\\pipeTest", GENERIC_WRITE, ERROR_INVALID_PARAMETER},
      {"pipe without a name", L"\\\\.\\pipe\\", GENERIC_WRITE, ERROR_INVALID_NAME},
      {"reading an inbound pipe", kPipeName, GENERIC_READ | GENERIC_WRITE, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0);
    EXPECT_EQ(Open(c.name, c.access), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }

  // The prefix is not case-sensitive, as on Windows.
  HANDLE client = Open(L"\\\\.\\PIPE\\pipeTest");
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  DWORD read = 0;
  char byte = 0;
  EXPECT_FALSE(ReadFile(client, &byte, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(WriteFile(server, &byte, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(CloseHandle(client));
  EXPECT_TRUE(CloseHandle(server));
}

}  // namespace

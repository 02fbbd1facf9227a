#include "foundation/log/Log.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Records what reaches it and how often it was flushed.
class RecordingSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  struct Line {
    spdlog::level::level_enum level;
    std::string text;
  };
  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  int Flushes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return flushes_;
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    lines_.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size())});
  }
  void flush_() override { ++flushes_; }

 private:
  std::vector<Line> lines_;
  int flushes_ = 0;
};

std::mutex g_linesMutex;
std::vector<std::wstring> g_lines;

void RecordLine(const wchar_t* line) {
  std::lock_guard<std::mutex> lock(g_linesMutex);
  g_lines.emplace_back(line);
}

std::vector<std::wstring> CallbackLines() {
  std::lock_guard<std::mutex> lock(g_linesMutex);
  return g_lines;
}

void ResetSpdlog() {
  spdlog::drop_all();
  spdlog::flush_on(spdlog::level::off);
  spdlog::set_level(spdlog::level::info);
  spdlog::set_pattern("%+");
}

// Makes a logger on a RecordingSink spdlog's default logger (by default in the place of the
// agent's "file_logger").
std::shared_ptr<RecordingSink> InstallRecordingLogger(const std::string& name = "file_logger") {
  auto sink = std::make_shared<RecordingSink>();
  spdlog::set_default_logger(std::make_shared<spdlog::logger>(name, sink));
  return sink;
}

// Clears the callback slot without letting InitSDKLog create a file.
void ClearCallback() {
  spdlog::set_default_logger(
      std::make_shared<spdlog::logger>("file_logger", std::make_shared<spdlog::sinks::null_sink_mt>()));
  RegisterLogCallback(nullptr);
  spdlog::drop_all();
}

// A fresh folder standing for drive C:, removed again at the end.
class TempCDrive {
 public:
  TempCDrive() {
    std::string pattern = (fs::temp_directory_path() / "tarvik-log-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    setenv("TARVIK_C_DRIVE", root_.c_str(), 1);
  }
  ~TempCDrive() {
    unsetenv("TARVIK_C_DRIVE");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  const fs::path& Root() const { return root_; }
  fs::path LogFolder() const { return root_ / "ProgramData" / "Quelmo" / "HalvaneSDK" / "Log_s"; }

 private:
  fs::path root_;
};

std::vector<fs::path> Entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) entries.push_back(entry.path());
  return entries;
}

std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y_%m_%d_%H_%M_%S", &local);
  return text;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSpdlog();
    std::lock_guard<std::mutex> lock(g_linesMutex);
    g_lines.clear();
  }
  void TearDown() override {
    ClearCallback();
    ResetSpdlog();
  }
};

}  // namespace

TEST_F(LogTest, LinesReachTheDefaultLoggerAndTheCallbackWithWindowsConventions) {
  auto sink = InstallRecordingLogger();
  RegisterLogCallback(&RecordLine);
  struct Case {
    const char* what;
    std::function<void()> log;
    std::wstring expected;
  };
  const Case cases[] = {
      {"wide %s arguments", [] { LogInfo(L"open %s in %s", L"monitor.ini", L"C:\\ProgramData"); },
       L"open monitor.ini in C:\\ProgramData"},
      {"32-bit %lx", [] { LogInfo(L"status 0x%lx, code %lu", std::uint32_t{0x80000001}, std::uint32_t{7}); },
       L"status 0x80000001, code 7"},
      {"negative 32-bit %ld", [] { LogWarn(L"result %ld", std::int32_t{-2}); }, L"result -2"},
      {"%S narrow", [] { LogError(L"sn: %S, fw: %hs", "SN123", "1.0.2"); }, L"sn: SN123, fw: 1.0.2"},
      {"the header dump shape", [] { LogInfo(L"SEND  :cmdID: 0x%x, dataLength: %d", 0x3Au, 12); },
       L"SEND  :cmdID: 0x3a, dataLength: 12"},
  };
  for (const auto& c : cases) {
    std::size_t before = CallbackLines().size();
    c.log();
    auto lines = CallbackLines();
    ASSERT_EQ(lines.size(), before + 1) << c.what;
    EXPECT_EQ(lines.back(), c.expected) << c.what;
  }
  auto written = sink->Lines();
  ASSERT_EQ(written.size(), std::size(cases));
  EXPECT_EQ(written[0].text, "open monitor.ini in C:\\ProgramData");
  EXPECT_EQ(written[0].level, spdlog::level::info);
  EXPECT_EQ(written[2].level, spdlog::level::warn);
  EXPECT_EQ(written[3].level, spdlog::level::err);
}

TEST_F(LogTest, WideTextIsWrittenInTheAnsiCodePage) {
  auto sink = InstallRecordingLogger();
  LogInfo(L"%s", L"caf\u00e9");
  ASSERT_EQ(sink->Lines().size(), 1u);
  EXPECT_EQ(sink->Lines()[0].text, "caf\xc3\xa9");
}

TEST_F(LogTest, WithoutAnyFileLoggerLogErrorStillCallsTheCallback) {
  TempCDrive drive;
  // A file where the ProgramData folder would be: the library's log file cannot be created.
  std::ofstream(drive.Root() / "ProgramData") << "blocked";
  struct Setup {
    const char* what;
    bool spdlogOwnDefault;
  };
  for (const Setup setup : {Setup{"spdlog's own default logger", true}, Setup{"no default logger", false}}) {
    ResetSpdlog();
    std::shared_ptr<RecordingSink> sink;
    if (setup.spdlogOwnDefault) sink = InstallRecordingLogger("");
    RegisterLogCallback(&RecordLine);
    EXPECT_EQ(spdlog::get("file_logger"), nullptr) << setup.what;
    LogError(L"open failed: %s (%lu)", L"device", std::uint32_t{5});
    auto lines = CallbackLines();
    ASSERT_FALSE(lines.empty()) << setup.what;
    EXPECT_EQ(lines.back(), L"open failed: device (5)") << setup.what;
    if (sink) {
      ASSERT_EQ(sink->Lines().size(), 1u) << setup.what;
      EXPECT_EQ(sink->Lines()[0].text, "open failed: device (5)") << setup.what;
    }
  }
}

TEST_F(LogTest, ALineIsFlushedWhenItsLevelIsAtLeastThatOfTheLineBefore) {
  auto sink = InstallRecordingLogger();
  struct Step {
    void (*log)(const wchar_t*, ...);
    bool flushed;
  };
  const Step steps[] = {{&LogInfo, false}, {&LogWarn, true}, {&LogInfo, false}, {&LogInfo, true},
                        {&LogError, true}, {&LogWarn, false}, {&LogWarn, true}};
  int index = 0;
  for (const auto& step : steps) {
    int before = sink->Flushes();
    step.log(L"line %d", index);
    EXPECT_EQ(sink->Flushes() - before, step.flushed ? 1 : 0) << "line " << index;
    ++index;
  }
  EXPECT_EQ(sink->Lines().size(), std::size(steps));
}

TEST_F(LogTest, WriteLogMapsLevels) {
  auto sink = InstallRecordingLogger();
  WriteLog(kLogInfo, L"i");
  WriteLog(kLogWarn, L"w");
  WriteLog(kLogError, L"e");
  WriteLog(kLogInfo, L"");
  auto lines = sink->Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].level, spdlog::level::info);
  EXPECT_EQ(lines[1].level, spdlog::level::warn);
  EXPECT_EQ(lines[2].level, spdlog::level::err);
  EXPECT_EQ(lines[3].text, "");
}

TEST_F(LogTest, RegisterWhileTheAgentsFileLoggerExistsCreatesNoFile) {
  TempCDrive drive;
  auto sink = InstallRecordingLogger("file_logger");
  auto agentLogger = spdlog::default_logger();
  RegisterLogCallback(&RecordLine);
  EXPECT_TRUE(Entries(drive.Root()).empty());
  EXPECT_EQ(spdlog::default_logger(), agentLogger);
  LogInfo(L"hello %s", L"agent");
  ASSERT_EQ(sink->Lines().size(), 1u);
  EXPECT_EQ(sink->Lines()[0].text, "hello agent");
  ASSERT_EQ(CallbackLines().size(), 1u);
  EXPECT_EQ(CallbackLines()[0], L"hello agent");
  // A later registration replaces the callback, still without a file.
  RegisterLogCallback(nullptr);
  LogInfo(L"quiet");
  EXPECT_EQ(CallbackLines().size(), 1u);
  EXPECT_TRUE(Entries(drive.Root()).empty());
}

TEST_F(LogTest, InitSDKLogCreatesTheLibraryLogFile) {
  TempCDrive drive;
  std::string before = LocalTimeText(std::time(nullptr));
  InitSDKLog();
  std::string after = LocalTimeText(std::time(nullptr));

  auto files = Entries(drive.LogFolder());
  ASSERT_EQ(files.size(), 1u);
  std::string name = files[0].filename().string();
  std::smatch match;
  ASSERT_TRUE(std::regex_match(name, match, std::regex(R"(SDKLogFile_(\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d)\.txt)"))) << name;
  EXPECT_GE(match[1].str(), before);
  EXPECT_LE(match[1].str(), after);

  auto logger = spdlog::default_logger();
  ASSERT_NE(logger, nullptr);
  EXPECT_EQ(logger->name(), "file_logger");
  EXPECT_EQ(spdlog::get("file_logger"), logger);
  EXPECT_EQ(logger->level(), spdlog::level::info);

  // A second call keeps the logger it made.
  InitSDKLog();
  EXPECT_EQ(spdlog::default_logger(), logger);

  LogWarn(L"disk %s", L"full");
  logger->flush();
  std::ifstream in(files[0]);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_TRUE(std::regex_match(content.str(),
                               std::regex(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[warning\] disk full\n)")))
      << content.str();
}

TEST_F(LogTest, LogHexDataWritesOneInfoLine) {
  auto sink = InstallRecordingLogger();
  RegisterLogCallback(&RecordLine);
  const std::uint8_t bytes[] = {0x00, 0x1F, 0xAB};
  LogHexData(L"SendCommand send:", bytes, 2);
  LogHexData(L"empty:", bytes, 0);
  LogHexData(L"all:", bytes, 3);
  auto lines = CallbackLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"SendCommand send: 00 1F");
  EXPECT_EQ(lines[1], L"empty:");
  EXPECT_EQ(lines[2], L"all: 00 1F AB");
  ASSERT_EQ(sink->Lines().size(), 3u);
  EXPECT_EQ(sink->Lines()[0].level, spdlog::level::info);
  EXPECT_EQ(sink->Lines()[0].text, "SendCommand send: 00 1F");
}

TEST_F(LogTest, LinesFromManyThreadsWhileTheCallbackChanges) {
  auto sink = InstallRecordingLogger();
  static std::atomic<int> calls{0};
  calls = 0;
  auto count = [](const wchar_t*) { calls.fetch_add(1, std::memory_order_relaxed); };
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) (i % 2 ? LogInfo : LogWarn)(L"thread %d line %d %s", t, i, L"x");
    });
  for (int i = 0; i < 50; ++i) RegisterLogCallback(i % 2 ? nullptr : +count);
  RegisterLogCallback(+count);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(sink->Lines().size(), static_cast<std::size_t>(kThreads * kLines));
  EXPECT_LE(calls.load(), kThreads * kLines);
}

TEST(HexStringToBytes, Cases) {
  struct Case {
    const char* text;
    std::vector<std::uint8_t> bytes;  // empty: result 0
  };
  const Case cases[] = {
      {"0A 1b", {0x0A, 0x1B}},
      {"ABC", {0xAB}},
      {"   ", {}},
      {"", {}},
      {"A", {}},
      {"ff00", {0xFF, 0x00}},
      {" 1 2 3 4 ", {0x12, 0x34}},
      {"G0", {0x70}},  // unchecked: 'G' - 48 = 23, 23 * 16 truncated to 8 bits
  };
  for (const auto& c : cases) {
    std::uint8_t* bytes = nullptr;
    std::int32_t count = -1;
    std::int32_t result = HexStringToBytes(c.text, &bytes, &count);
    if (c.bytes.empty()) {
      EXPECT_EQ(result, 0) << c.text;
      EXPECT_EQ(bytes, nullptr) << c.text;
      EXPECT_EQ(count, -1) << c.text;
      continue;
    }
    EXPECT_EQ(result, 1) << c.text;
    ASSERT_EQ(count, static_cast<std::int32_t>(c.bytes.size())) << c.text;
    ASSERT_NE(bytes, nullptr) << c.text;
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + count), c.bytes) << c.text;
    delete[] bytes;
  }
}

TEST(WriteUInt32LE, Cases) {
  struct Case {
    std::uint32_t value;
    std::uint8_t bytes[4];
  };
  const Case cases[] = {
      {1, {0x01, 0x00, 0x00, 0x00}},
      {0x12345678, {0x78, 0x56, 0x34, 0x12}},
      {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}},
      {0, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::uint8_t out[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    WriteUInt32LE(c.value, out + 1);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(out[5], 0xEE);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[1 + i], c.bytes[i]) << c.value << " byte " << i;
  }
}

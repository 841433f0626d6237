// WBTRV32.DLL under Wine: its exports, and a writer process terminated again
// and again (the test program re-invoked with --recman-writer).
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "program_runner.h"
#include "tests/unit/recman_crash.h"

using namespace recman;
using namespace recman::testing;

namespace {

constexpr std::string_view kWriterFlag = "--recman-writer";

// Before the test runner starts: a process started with the writer flag only
// writes until it is terminated. Arguments: flag, data file, log file, seed.
const bool kWriterMode = [] {
  if (__argc < 5 || __argv[1] != kWriterFlag) return false;
  crash_writer(__argv[2], __argv[3], static_cast<unsigned>(std::atoi(__argv[4])));
  ExitProcess(3);
}();

using BtrCall = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char);
using BtrCallId = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char, void*);
using InitFn = int(WINAPI*)(char*);
using StopFn = int(WINAPI*)();

TEST(RecmanDll, ExportsServeTheCalls) {
  HMODULE dll = LoadLibraryA((kovo::testing::bin_folder() + "WBTRV32.DLL").c_str());
  ASSERT_NE(dll, nullptr);
  auto call = reinterpret_cast<BtrCall>(GetProcAddress(dll, "BTRCALL"));
  auto call_id = reinterpret_cast<BtrCallId>(GetProcAddress(dll, "BTRCALLID"));
  auto init = reinterpret_cast<InitFn>(GetProcAddress(dll, "WBTRVINIT"));
  auto shell_init = reinterpret_cast<InitFn>(GetProcAddress(dll, "WBRQSHELLINIT"));
  auto stop = reinterpret_cast<StopFn>(GetProcAddress(dll, "WBTRVSTOP"));
  ASSERT_TRUE(call && call_id && init && shell_init && stop);
  char text[] = "";
  EXPECT_EQ(init(text), 0);
  EXPECT_EQ(shell_init(text), 0);

  TempFolder folder;
  std::string path = folder.file("dll.dat");
  char key[255] = {};
  path.copy(key, sizeof key - 1);
  std::vector<std::uint8_t> spec = crash_spec();
  DWORD length = static_cast<DWORD>(spec.size());
  std::uint8_t block[128] = {};
  ASSERT_EQ(call(kCreate, block, spec.data(), &length, key, sizeof key, -1), kOk);
  length = 0;
  ASSERT_EQ(call(kOpen, block, nullptr, &length, key, sizeof key, 0), kOk);
  std::string record = crash_record(7, 1);
  length = static_cast<DWORD>(record.size());
  ASSERT_EQ(call(kInsert, block, record.data(), &length, key, sizeof key, 0), kOk);
  char data[1500] = {};
  length = sizeof data;
  std::memcpy(key, record.data(), 4);
  char client[16] = {};
  ASSERT_EQ(call_id(kGetEqual, block, data, &length, key, sizeof key, 0, client), kOk);
  EXPECT_EQ(std::string(data, length), record);
  length = sizeof data;
  EXPECT_EQ(call(kGetNext, block, data, &length, key, sizeof key, 0), kEndOfFile);
  EXPECT_EQ(stop(), 0);
  length = sizeof data;
  EXPECT_EQ(call(kGetFirst, block, data, &length, key, sizeof key, 0), kFileNotOpen) << "stop closed the file";
  FreeLibrary(dll);
}

TEST(RecmanCrash, TerminatedWriterLeavesWholeRecords) {
  TempFolder folder;
  const std::string path = folder.file("crash.dat");
  const std::string log = folder.file("crash.log");
  ASSERT_EQ(create_file(path, crash_spec()), kOk);
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::mt19937 random(5);
  std::size_t records = 0;
  for (unsigned round = 0; round < 8; ++round) {
    const std::size_t logged = crash_log_lines(log);
    std::string line = "\"" + std::string(self) + "\" " + std::string(kWriterFlag) + " \"" + path + "\" \"" + log +
                       "\" " + std::to_string(round);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    if (!wait_for_crash_progress(log, logged, 5,
                                 [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; })) {
      TerminateProcess(process.hProcess, 9);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
      FAIL() << "the writer wrote nothing in round " << round;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 100));  // a different moment each round
    {
      RecordHandle reader;
      ASSERT_EQ(open_patiently(reader, path, -2), kOk);
      for (short st = reader.call(kGetFirst, 0); st == kOk; st = reader.call(kGetNext, 0))
        ASSERT_EQ(reader.record(), crash_record(crash_field(reader.record(), 0), crash_field(reader.record(), 4)));
      reader.close();
    }
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, 10000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    ASSERT_EQ(code, 9u) << "the writer ended by itself in round " << round;
    records = check_crash_file(path, log);
    if (HasFailure()) return;
  }
  EXPECT_GT(records, 0u) << "the writer made progress";
}

}  // namespace

// Kills a writing process again and again; every record must stay whole and
// every write that answered success must survive. Under Wine the same test
// runs with a terminated second process (tests/wine).
#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "recman/store.h"
#include "recman_crash.h"

using namespace recman;
using namespace recman::testing;

namespace {

TEST(RecmanCrash, KilledWriterLeavesWholeRecords) {
  TempFolder folder;
  const std::string path = folder.file("crash.dat");
  const std::string log = folder.file("crash.log");
  ASSERT_EQ(create_file(path, crash_spec()), kOk);
  std::mt19937 random(11);
  std::size_t records = 0;
  for (unsigned round = 0; round < 12; ++round) {
    const std::size_t logged = crash_log_lines(log);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      crash_writer(path, log, round);
      _exit(3);
    }
    if (!wait_for_crash_progress(log, logged, 5, [&] { return waitpid(child, nullptr, WNOHANG) == 0; })) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      FAIL() << "the writer wrote nothing in round " << round;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60));  // a different moment each round
    {
      // A reader in a second process while the writer writes.
      RecordHandle reader;
      ASSERT_EQ(open_patiently(reader, path, -2), kOk);
      for (short st = reader.call(kGetFirst, 0); st == kOk; st = reader.call(kGetNext, 0))
        ASSERT_EQ(reader.record(), crash_record(crash_field(reader.record(), 0), crash_field(reader.record(), 4)));
      reader.close();
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself in round " << round;
    records = check_crash_file(path, log);
    if (HasFailure()) return;
  }
  EXPECT_GT(records, 0u) << "the writer made progress";
}

TEST(RecmanCrash, ReaderSeesAnotherProcessCommitSoon) {
  TempFolder folder;
  const std::string path = folder.file("seen.dat");
  ASSERT_EQ(create_file(path, crash_spec()), kOk);
  RecordHandle reader;
  ASSERT_EQ(reader.open(path, -2), kOk);
  ASSERT_EQ(reader.call(kGetFirst, 0), kEndOfFile);  // holds a read snapshot now
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecordHandle writer;
    _exit(writer.open(path) == kOk && writer.write(kInsert, crash_record(1, 0), 0) == kOk ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::this_thread::sleep_for(kSnapshotWindow + std::chrono::milliseconds(5));
  ASSERT_EQ(reader.call(kGetFirst, 0), kOk) << "the snapshot was renewed";
  EXPECT_EQ(reader.record(), crash_record(1, 0));
  reader.close();
}

}  // namespace

#endif

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "process/OsProbe.h"
#include "repair/ServiceControl.h"
#include "standins/RecordingRestart.h"
#include "tests/process/ProcessTestSupport.h"

namespace {

constexpr DWORD ONE_POLL_MS = 1000;
// The slow test service reports stop-pending for 2.5 s.
constexpr DWORD SLOW_STOP_MS = 2500;

// StopService with a check that it left no handle open behind it.
int StopLeavingNoHandle(const char* name, int pollLimit = STOP_PENDING_POLL_LIMIT) {
  const HANDLE before = NextHandleValue();
  const int result = StopServiceWithin(name, pollLimit);
  EXPECT_EQ(before, NextHandleValue()) << "a handle of the stop of " << name << " stayed open";
  return result;
}

TEST(StopServiceTest, ServiceThatStopsAtOnceIsNotWaitedFor) {
  const std::string name = UniqueServiceName("QuellorTestStopAtOnce");
  TestService service(name, TargetProgramPath(), "at-once");
  ASSERT_TRUE(service.installed());
  ASSERT_TRUE(service.Start());
  int result = 0;
  const DWORD took = MillisecondsOf([&] { result = StopLeavingNoHandle(name.c_str()); });
  EXPECT_EQ(1, result);
  EXPECT_LT(took, ONE_POLL_MS) << "no wait after a stopped answer";
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

TEST(StopServiceTest, StopPendingServiceIsPolledUntilItHasStopped) {
  const std::string name = UniqueServiceName("QuellorTestStopSlowly");
  TestService service(name, TargetProgramPath(), "slow");
  ASSERT_TRUE(service.installed());
  ASSERT_TRUE(service.Start());
  int result = 0;
  const DWORD took = MillisecondsOf([&] { result = StopLeavingNoHandle(name.c_str()); });
  EXPECT_EQ(1, result);
  EXPECT_GE(took, SLOW_STOP_MS - ONE_POLL_MS / 2) << "one wait after each stop-pending answer";
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

TEST(StopServiceTest, WaitForAServiceStuckInStopPendingEndsAtTheLimit) {
  const std::string name = UniqueServiceName("QuellorTestStopStuck");
  TestService service(name, TargetProgramPath(), "stuck");
  ASSERT_TRUE(service.installed());
  ASSERT_TRUE(service.Start());
  int result = 1;
  const DWORD took = MillisecondsOf([&] { result = StopLeavingNoHandle(name.c_str(), 2); });
  EXPECT_EQ(0, result);
  EXPECT_GE(took, 2 * ONE_POLL_MS - 100);
  EXPECT_LT(took, 5 * ONE_POLL_MS);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), service.State());
}

TEST(StopServiceTest, StoppedOrMissingServiceGivesZero) {
  const std::string name = UniqueServiceName("QuellorTestNeverStarted");
  TestService service(name, TargetProgramPath(), "at-once");
  ASSERT_TRUE(service.installed());
  EXPECT_EQ(0, StopLeavingNoHandle(name.c_str())) << "the stop control is refused";
  EXPECT_EQ(0, StopLeavingNoHandle("QuellorTestNoSuchService"));
  EXPECT_EQ(0, StopLeavingNoHandle(""));
}

// Whether SeShutdownPrivilege is enabled in this process's token.
bool ShutdownPrivilegeEnabled() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID shutdown;
  LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &shutdown);
  DWORD needed = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &needed);
  std::vector<unsigned char> buffer(needed);
  bool enabled = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), needed, &needed)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
      if (p.Luid.LowPart == shutdown.LowPart && p.Luid.HighPart == shutdown.HighPart)
        enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  CloseHandle(token);
  return enabled;
}

void DisableShutdownPrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
  AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
}

class RestartWindowsTest : public ::testing::Test {
 protected:
  RestartWindowsTest() {
    RestartRequests().clear();
    DisableShutdownPrivilege();
  }
  static bool NineX() { return VersionOfThisProgram() == WineVersion::Win98; }
};

TEST_F(RestartWindowsTest, RequestsARestartForcingApplicationsToClose) {
  ASSERT_FALSE(ShutdownPrivilegeEnabled());
  SetLastError(ERROR_ACCESS_DENIED);  // a stale error must not stop the restart
  const HANDLE before = NextHandleValue();
  EXPECT_EQ(TRUE, RestartWindows());
  EXPECT_EQ(before, NextHandleValue()) << "the token was left open";
  EXPECT_EQ(std::vector<unsigned>{EWX_REBOOT | EWX_FORCE}, RestartRequests());
  EXPECT_EQ(6u, RestartRequests().at(0));
  EXPECT_EQ(!NineX(), ShutdownPrivilegeEnabled()) << "the 9x family touches no token";
}

TEST_F(RestartWindowsTest, WithoutItsTokenTheNtFamilyDoesNotRestart) {
  LockedOwnToken lock;
  ASSERT_TRUE(lock.locked());
  if (NineX()) {
    EXPECT_EQ(TRUE, RestartWindows());
    EXPECT_EQ(1u, RestartRequests().size());
    return;
  }
  EXPECT_EQ(0, RestartWindows());
  EXPECT_TRUE(RestartRequests().empty());
}

}  // namespace

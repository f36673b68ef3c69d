// Login, listings, backtrack and reboot against an in-process lab.
#include <chrono>
#include <cstring>
#include <thread>

#include "lab_fixture.h"

using namespace labtest;

namespace {

struct LoginResult {
  int32_t status;
  char hardware[KESTRUM_HARDWARE_NAME_SIZE];
  int32_t version = 0, pending = 0, backtrack = 0;
};

LoginResult login(const char* address, const char* user, const char* password) {
  LoginResult r{};
  char userField[KESTRUM_CREDENTIAL_SIZE] = {}, passwordField[KESTRUM_CREDENTIAL_SIZE] = {};
  std::strncpy(userField, user, 64);
  std::strncpy(passwordField, password, 64);
  Connection c(address);
  std::memset(r.hardware, 'x', sizeof r.hardware);
  r.status = LoginServer(r.hardware, &r.version, &r.pending, &r.backtrack, userField, passwordField,
                         &c.handle);
  return r;
}

class SessionTest : public LabTest {
 protected:
  void SetUp() override {
    LabTest::SetUp();
    auto a = camera("CAM0001A", "127.0.0.2", "47RKT", 2010);
    a.previousVersion = 2009;
    auto b = camera("CAM0002B", "127.0.0.3", "47RKTLONGHARDWARE", 2009);
    b.accounts = {{"admin", "secret"}, {"operator", "op123"}};
    startLab({a, b});
  }
};

TEST_F(SessionTest, LoginOutcomes) {
  LoginResult ok = login("127.0.0.2", "admin", "");
  EXPECT_EQ(ok.status, KESTRUM_LOGIN_OK);
  EXPECT_STREQ(ok.hardware, "47RKT");
  EXPECT_EQ(ok.version, 2010);
  EXPECT_EQ(ok.pending, 0);
  EXPECT_NE(ok.backtrack, 0);

  EXPECT_EQ(login("127.0.0.3", "admin", "").status, KESTRUM_LOGIN_WRONG_PASSWORD);
  EXPECT_EQ(login("127.0.0.3", "nobody", "x").status, KESTRUM_LOGIN_NO_SUCH_USER);
  LoginResult typed = login("127.0.0.3", "operator", "op123");
  EXPECT_EQ(typed.status, KESTRUM_LOGIN_OK);
  // A hardware name longer than 16 bytes arrives cut, terminated within 17 bytes.
  EXPECT_EQ(std::string(typed.hardware), "47RKTLONGHARDWAR");
  EXPECT_EQ(typed.backtrack, 0);

  devsim::Faults refuse;
  refuse.rejectLogin = true;
  lab_->device("CAM0001A")->setFaults(refuse);
  LoginResult refused = login("127.0.0.2", "admin", "");
  EXPECT_LT(refused.status, 0);
  EXPECT_EQ(refused.hardware[0], '\0');
}

TEST_F(SessionTest, ConnectAndReleaseHandles) {
  int32_t none = ConnectServer("127.0.0.9", 9001);  // nobody listens there
  EXPECT_LT(none, 1);
  EXPECT_LT(ConnectServer("not an address", 9001), 1);
  int32_t a = ConnectServer("127.0.0.2", 9001);
  int32_t b = ConnectServer("127.0.0.2", 9001);
  ASSERT_GE(a, 1);
  ASSERT_GE(b, 1);
  EXPECT_NE(a, b);
  int32_t stale = a;
  ReleaseSocket(&a);
  EXPECT_LT(a, 1);
  ReleaseSocket(&a);  // twice is harmless
  EXPECT_LT(a, 1);
  uint16_t id = 1;
  EXPECT_LT(SearchDir("", 1, &id, &stale), 0);  // a released handle is refused
  ReleaseSocket(&b);
}

TEST_F(SessionTest, ListingsOfTenZeroAndMoreEntries) {
  fs::path root = templateOf("CAM0001A");
  fs::create_directories(root / "DCIM");
  fs::create_directories(root / "empty");
  for (int i = 0; i < 10; ++i) writeFile(root / "ten" / ("f" + std::to_string(i)), "x");
  for (int i = 0; i < 23; ++i)
    writeFile(root / "DCIM" / ("clip" + std::to_string(i) + ".mp4"), "x");
  std::string longName(60, 'n');
  writeFile(root / "long" / longName, "x");
  lab_->stop();
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010)});

  Listing top = listDirectory("127.0.0.2", "", KESTRUM_REQ_LIST_DIR);  // empty path: the root
  EXPECT_EQ(top.status, KESTRUM_RECV_LIST);
  ASSERT_EQ(top.entries.size(), 4u);
  EXPECT_EQ(top.entries[0], std::make_pair('1', std::string("DCIM")));

  Listing ten = listDirectory("127.0.0.2", "ten", KESTRUM_REQ_LIST_DIR);
  EXPECT_EQ(ten.counts, (std::vector<int32_t>{10, 0}));
  EXPECT_EQ(ten.entries[3], std::make_pair('2', std::string("f3")));

  Listing empty = listDirectory("127.0.0.2", "empty", KESTRUM_REQ_LIST_DIR);
  EXPECT_EQ(empty.counts, (std::vector<int32_t>{0}));

  Listing many = listDirectory("127.0.0.2", "DCIM", KESTRUM_REQ_LIST_DIR);
  EXPECT_EQ(many.counts, (std::vector<int32_t>{10, 10, 3, 0}));
  EXPECT_EQ(many.entries.size(), 23u);

  Listing cut = listDirectory("127.0.0.2", "long", KESTRUM_REQ_LIST_DIR);
  ASSERT_EQ(cut.entries.size(), 1u);
  EXPECT_EQ(cut.entries[0].second, std::string(47, 'n'));  // fills all 47 bytes, no NUL

  EXPECT_LT(listDirectory("127.0.0.2", "missing", KESTRUM_REQ_LIST_DIR).status, 0);
  EXPECT_LT(listDirectory("127.0.0.2", "../..", KESTRUM_REQ_LIST_DIR).status, 0);
  EXPECT_LT(listDirectory("127.0.0.2", "DCIM", 3).status, 0);  // no such request code
}

TEST_F(SessionTest, BacktrackThenRebootComesBackWithPreviousVersion) {
  {
    Connection c("127.0.0.3");
    uint16_t id = 6;
    EXPECT_LT(SearchDir(nullptr, KESTRUM_REQ_BACKTRACK, &id, &c.handle),
              0);  // nothing to go back to
  }
  {
    Connection c("127.0.0.2");
    uint16_t id = 6;
    EXPECT_EQ(SearchDir(nullptr, KESTRUM_REQ_BACKTRACK, &id, &c.handle), 0);
  }
  EXPECT_EQ(login("127.0.0.2", "admin", "").pending, 1);
  {
    Connection c("127.0.0.2");
    uint16_t id = 6;
    ASSERT_EQ(SearchDir(nullptr, KESTRUM_REQ_REBOOT, &id, &c.handle), 0);
  }
  // Offline for a moment, then back with the previous firmware.
  auto start = std::chrono::steady_clock::now();
  while (lab_->device("CAM0001A")->status().online &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // How long it stays offline depends on the machine's speed; that it went
  // offline at all is what counts here.
  const devsim::DeviceStatus during = lab_->device("CAM0001A")->status();
  EXPECT_TRUE(!during.online || during.reboots >= 1);
  ASSERT_TRUE(lab_->waitOnline("CAM0001A", std::chrono::seconds(3)));
  LoginResult after = login("127.0.0.2", "admin", "");
  EXPECT_EQ(after.status, 0);
  EXPECT_EQ(after.version, 2009);
  EXPECT_EQ(after.pending, 0);
  EXPECT_EQ(after.backtrack, 0);
}

}  // namespace

// The lab closes quiet connections, but an operator's logged-in session may
// stay quiet far longer than one that never logged in.
class IdleSessionTest : public LabTest {
 protected:
  void SetUp() override {
    LabTest::SetUp();
    devsim::LabConfig config;
    config.idleLimit = std::chrono::milliseconds(600);
    config.loggedInIdleLimit = std::chrono::seconds(30);
    startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010)}, 0.3, config);
  }
  // One whole root listing on the caller's connection; its last status.
  static int32_t listRoot(int32_t* handle) {
    uint16_t id = 1;
    if (int32_t s = SearchDir("", KESTRUM_REQ_LIST_ROOT, &id, handle); s != 0) return s;
    int32_t status = 0, count = 0, size = 0;
    char buffer[KESTRUM_LIST_BUFFER_SIZE];
    do {
      status = RecvData(buffer, &count, &size, id, handle);
    } while (status == KESTRUM_RECV_LIST && count > 0);
    return status;
  }
};

TEST_F(IdleSessionTest, LoggedInConnectionOutlivesTheShortIdleLimit) {
  Connection anonymous("127.0.0.2");
  Connection session("127.0.0.2");
  char hardware[KESTRUM_HARDWARE_NAME_SIZE];
  char user[KESTRUM_CREDENTIAL_SIZE] = "admin", password[KESTRUM_CREDENTIAL_SIZE] = {};
  int32_t version = 0, pending = 0, backtrack = 0;
  ASSERT_EQ(LoginServer(hardware, &version, &pending, &backtrack, user, password, &session.handle),
            0);
  ASSERT_EQ(listRoot(&anonymous.handle), KESTRUM_RECV_LIST);
  ASSERT_EQ(listRoot(&session.handle), KESTRUM_RECV_LIST);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_LT(listRoot(&anonymous.handle), 0);                // dropped after 0.6 s
  EXPECT_EQ(listRoot(&session.handle), KESTRUM_RECV_LIST);  // still served
}

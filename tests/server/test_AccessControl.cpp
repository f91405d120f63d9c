// Who may use the device server: the allow list, the token file and the token check.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "server/AccessControl.h"
#include "server/AllowList.h"
#include "server/ServerOptions.h"
#include "tests/support/ChildProcess.h"

namespace {

using devserver::AccessControl;
using devserver::AllowList;
using namespace std::string_literals;

// The message of the std::invalid_argument that parsing text throws; empty when it parses.
std::string parseError(const std::string& text) {
  try {
    AllowList::parse(text);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return {};
}

TEST(AllowList, RangesAdmitTheirAddressesOnly) {
  EXPECT_TRUE(AllowList().allows("192.0.2.1")) << "an empty list allows everybody";

  const AllowList single = AllowList::parse("127.0.0.1");
  EXPECT_TRUE(single.allows("127.0.0.1"));
  EXPECT_FALSE(single.allows("127.0.0.2"));

  const AllowList several = AllowList::parse("10.1.0.0/16, 192.168.7.9,172.16.0.0/12");
  EXPECT_TRUE(several.allows("10.1.255.3"));
  EXPECT_FALSE(several.allows("10.2.0.1"));
  EXPECT_TRUE(several.allows("192.168.7.9"));
  EXPECT_FALSE(several.allows("192.168.7.8"));
  EXPECT_TRUE(several.allows("172.31.200.1"));
  EXPECT_FALSE(several.allows("172.32.0.1"));
  EXPECT_FALSE(several.allows("not an address"));
  EXPECT_FALSE(several.allows("::1"));

  // Host bits in the range are ignored; /0 is everybody, /32 one host.
  EXPECT_TRUE(AllowList::parse("127.9.9.9/8").allows("127.0.0.2"));
  EXPECT_TRUE(AllowList::parse("0.0.0.0/0").allows("203.0.113.77"));
  EXPECT_FALSE(AllowList::parse("203.0.113.77/32").allows("203.0.113.76"));
}

TEST(AllowList, MalformedEntriesAreNamed) {
  EXPECT_EQ(parseError("300.1.1.1"), "invalid value for --allow: 300.1.1.1");
  EXPECT_EQ(parseError("127.0.0.1/33"), "invalid value for --allow: 127.0.0.1/33");
  EXPECT_EQ(parseError("127.0.0.1/"), "invalid value for --allow: 127.0.0.1/");
  EXPECT_EQ(parseError("127.0.0.1/-1"), "invalid value for --allow: 127.0.0.1/-1");
  EXPECT_EQ(parseError("127.0.0.1,,10.0.0.1"), "invalid value for --allow: ");
  EXPECT_EQ(parseError("localhost"), "invalid value for --allow: localhost");
  EXPECT_EQ(parseError("10.0.0.0/8"), "");

  const devserver::ServerOptions options =
      devserver::parseServerOptions({"x", "--token-file", "/etc/rastel/token", "--allow", "10.0.0.0/8"});
  EXPECT_EQ(options.tokenFile, "/etc/rastel/token");
  EXPECT_TRUE(options.allow.allows("10.4.5.6"));
  EXPECT_FALSE(options.allow.allows("11.0.0.1"));
  EXPECT_TRUE(devserver::parseServerOptions({"x"}).allow.empty());
  EXPECT_THROW(devserver::parseServerOptions({"x", "--allow", "10.0.0.0/40"}), std::invalid_argument);
  for (const char* option : {"--token-file", "--allow"})
    EXPECT_NE(devserver::serverUsage().find(option), std::string::npos) << option;
}

TEST(AccessControl, TokenAndAddressDecideTheVerdict) {
  const AccessControl open;
  EXPECT_EQ(open.check("192.0.2.1", ""), AccessControl::Verdict::Allowed);
  EXPECT_FALSE(open.requiresToken());

  const AccessControl guarded("s3cret", AllowList::parse("127.0.0.0/8"));
  EXPECT_TRUE(guarded.requiresToken());
  EXPECT_EQ(guarded.check("127.0.0.1", "Bearer s3cret"), AccessControl::Verdict::Allowed);
  EXPECT_EQ(guarded.check("127.0.0.1", ""), AccessControl::Verdict::TokenRefused);
  EXPECT_EQ(guarded.check("127.0.0.1", "Bearer s3cre"), AccessControl::Verdict::TokenRefused);
  EXPECT_EQ(guarded.check("127.0.0.1", "Bearer s3cret2"), AccessControl::Verdict::TokenRefused);
  EXPECT_EQ(guarded.check("127.0.0.1", "Basic s3cret"), AccessControl::Verdict::TokenRefused);
  EXPECT_EQ(guarded.check("127.0.0.1", "s3cret"), AccessControl::Verdict::TokenRefused);
  // The address is checked first: the right token from outside the list is still refused.
  EXPECT_EQ(guarded.check("10.0.0.1", "Bearer s3cret"), AccessControl::Verdict::AddressRefused);

  EXPECT_TRUE(devserver::equalInConstantTime("abc", "abc"));
  EXPECT_FALSE(devserver::equalInConstantTime("abc", "abd"));
  EXPECT_FALSE(devserver::equalInConstantTime("abc", "ab"));
  EXPECT_FALSE(devserver::equalInConstantTime("abc", "abc\0"s));
  EXPECT_FALSE(devserver::equalInConstantTime("abc", ""));
  EXPECT_TRUE(devserver::equalInConstantTime("", ""));
}

TEST(AccessControl, WarnsWhenExposedWithoutToken) {
  const AccessControl open;
  EXPECT_EQ(open.exposureWarning("127.0.0.1"), "");
  EXPECT_EQ(open.exposureWarning("0.0.0.0"),
            "listening on 0.0.0.0 without --token-file: anyone on the network can control this server's devices");
  EXPECT_NE(open.exposureWarning("192.168.1.20"), "");
  EXPECT_EQ(AccessControl("s3cret", AllowList()).exposureWarning("0.0.0.0"), "");
}

class TokenFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("rastel_token_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Writes content to name with permissions mode; its path.
  std::filesystem::path write(const std::string& name, const std::string& content, mode_t mode) {
    const std::filesystem::path file = folder_ / name;
    std::ofstream(file) << content;
    EXPECT_EQ(::chmod(file.c_str(), mode), 0);
    return file;
  }
  // The message readTokenFile throws for file; empty when it reads a token.
  static std::string failureOf(const std::filesystem::path& file) {
    try {
      devserver::readTokenFile(file);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return {};
  }

  std::filesystem::path folder_;
};

TEST_F(TokenFile, FirstLineIsTheToken) {
  EXPECT_EQ(devserver::readTokenFile(write("token", "  s3cret \r\nsecond line\n", 0600)), "s3cret");
  EXPECT_EQ(devserver::readTokenFile(write("bare", "xyz", 0400)), "xyz");
}

TEST_F(TokenFile, LooseEmptyOrMissingFilesAreRefused) {
  const std::filesystem::path groupReadable = write("group", "s3cret\n", 0640);
  EXPECT_EQ(failureOf(groupReadable), "token file " + groupReadable.string()
                                          + " is readable by group or others; make it private with: chmod 600 "
                                          + groupReadable.string());
  EXPECT_NE(failureOf(write("others", "s3cret\n", 0604)).find("readable by group or others"), std::string::npos);
  EXPECT_EQ(failureOf(write("empty", "\n", 0600)), "token file " + (folder_ / "empty").string() + " holds no token");
  EXPECT_EQ(failureOf(folder_ / "missing"), "cannot read token file " + (folder_ / "missing").string());
}

TEST_F(TokenFile, ServerRefusesToStartWithALooseTokenFile) {
  const std::filesystem::path loose = write("loose", "s3cret\n", 0644);
  testsupport::ChildProcess server({RASTEL_DEVSERVER_EXECUTABLE, "--token-file", loose.string(), "--base-port", "0",
                                    "--discovery-port", "0", "--data-dir", (folder_ / "data").string()});
  EXPECT_EQ(server.rest(), "") << "no device line: the server must not start";
  EXPECT_EQ(server.finish(0), 1);
}

}  // namespace

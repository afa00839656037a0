#include "server_options.h"

#include <gtest/gtest.h>

namespace zeva::toolserver {
namespace {

std::optional<ServerOptions> Parse(std::vector<std::string> arguments, std::string& error) {
  ServerOptions defaults;
  defaults.siteFolder = "/default/site";
  defaults.dataFolder = "/default/data";
  return ParseServerOptions(arguments, defaults, error);
}

TEST(ServerOptionsTest, DefaultsListenOnTheFixedPorts) {
  std::string error;
  std::optional<ServerOptions> options = Parse({}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->address, "127.0.0.1");
  EXPECT_EQ(options->port, 8088);
  EXPECT_EQ(options->accountPort, 80);
  EXPECT_EQ(options->accountFallbackPort, -1);
  EXPECT_EQ(options->siteFolder, "/default/site");
}

TEST(ServerOptionsTest, ReadsEveryOption) {
  std::string error;
  std::optional<ServerOptions> options = Parse({"--address",
                                                "0.0.0.0",
                                                "--port",
                                                "9000",
                                                "--account-port",
                                                "off",
                                                "--account-fallback-port",
                                                "8080",
                                                "--site",
                                                "s",
                                                "--data",
                                                "d",
                                                "--log",
                                                "l",
                                                "--rate",
                                                "65536",
                                                "--tls-cert",
                                                "server.crt",
                                                "--tls-key",
                                                "server.key",
                                                "--workers",
                                                "3",
                                                "--keep-alive",
                                                "0"},
                                               error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->address, "0.0.0.0");
  EXPECT_EQ(options->port, 9000);
  EXPECT_EQ(options->accountPort, -1);
  EXPECT_EQ(options->accountFallbackPort, 8080);
  EXPECT_EQ(options->siteFolder, "s");
  EXPECT_EQ(options->dataFolder, "d");
  EXPECT_EQ(options->logFile, "l");
  EXPECT_EQ(options->bytesPerSecond, 65536u);
  EXPECT_EQ(options->tlsCertificate, "server.crt");
  EXPECT_EQ(options->tlsKey, "server.key");
  EXPECT_EQ(options->workers, 3);
  EXPECT_EQ(options->keepAliveSeconds, 0);
}

TEST(ServerOptionsTest, RefusesBadValues) {
  for (auto arguments : std::vector<std::vector<std::string>>{{"--port", "65536"},
                                                              {"--port", "-1"},
                                                              {"--port", "80x"},
                                                              {"--port", "off"},
                                                              {"--port"},
                                                              {"--rate", "-5"},
                                                              {"--rate", "fast"},
                                                              {"--bogus", "1"},
                                                              {"--tls-cert", "server.crt"},
                                                              {"--tls-key", "server.key"},
                                                              {"--workers", "0"},
                                                              {"--workers", "4097"},
                                                              {"--keep-alive", "3601"},
                                                              {"--keep-alive", "-1"}}) {
    std::string error;
    EXPECT_FALSE(Parse(arguments, error)) << arguments[0];
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(ParseServerOptions({}, ServerOptions{}, error));
}

}  // namespace
}  // namespace zeva::toolserver

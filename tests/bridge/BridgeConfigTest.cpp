#include "bridge/BridgeConfig.h"

#include <gtest/gtest.h>

namespace dvr::bridge {
namespace {

TEST(BridgeConfig, SectionsGiveRecorders) {
    const ConfigResult r = parseRecorderConfig(
        "# two recorders\n"
        "[front]\n"
        "host = 127.0.0.1\n"
        "port = 50001\n"
        "user = guard\n"
        "password-file = /etc/vistrel-bridge/front.password\n"
        "\n"
        "; the yard\n"
        "[yard-2]\r\n"
        "host=::1\r\n"
        "password-credential = yard.password\r\n"
        "speed = 3\r\n");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.recorders.size(), 2u);
    EXPECT_EQ(r.recorders[0].name, "front");
    EXPECT_EQ(r.recorders[0].host, "127.0.0.1");
    EXPECT_EQ(r.recorders[0].port, 50001);
    EXPECT_EQ(r.recorders[0].user, "guard");
    EXPECT_EQ(r.recorders[0].passwordFile, "/etc/vistrel-bridge/front.password");
    EXPECT_EQ(r.recorders[0].requestSpeed, 0);
    EXPECT_EQ(r.recorders[1].name, "yard-2");
    EXPECT_EQ(r.recorders[1].host, "::1");
    EXPECT_EQ(r.recorders[1].port, 50000);
    EXPECT_EQ(r.recorders[1].user, "admin");
    EXPECT_EQ(r.recorders[1].passwordCredential, "yard.password");
    EXPECT_EQ(r.recorders[1].requestSpeed, 3);
}

TEST(BridgeConfig, MistakesNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"host = 127.0.0.1\n", "line 1: a key before the first [recorder] section"},
        {"[a]\nhost = h\n[a]\nhost = h\n", "line 3: recorder a given twice"},
        {"[a b]\n", "line 1: bad recorder name (1 to 32 of A-Z a-z 0-9 _ - .)"},
        {"[.hidden]\n", "line 1: bad recorder name (1 to 32 of A-Z a-z 0-9 _ - .)"},
        {"[a\n", "line 1: a section line ends with ]"},
        {"[a]\nhost = h\nport = 70000\n", "line 3: port must be 1 to 65535"},
        {"[a]\nhost = h\nport = 12x\n", "line 3: port must be 1 to 65535"},
        {"[a]\nhost = h\nspeed = 0\n", "line 3: speed must be 1 to 10"},
        {"[a]\nhost = h\ncolour = red\n", "line 3: unknown key colour"},
        {"[a]\nhost = h\njust words\n", "line 3: expected key = value"},
        {"[a]\nhost = h\npassword-credential = ../x\n", "line 3: a credential is a plain file name"},
        {"[a]\nport = 1\n", "recorder a has no host"},
        {"[a]\n[b]\nhost = h\n", "recorder a has no host"},
        {"# nothing\n", "no [recorder] section"},
        {"", "no [recorder] section"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseRecorderConfig(c.text).error, c.error) << c.text;
}

TEST(BridgeConfig, CommandLineForOneRecorder) {
    const CommandLine c = parseCommandLine({"--host", "127.0.0.1", "--port", "50001", "--user", "u",
                                            "--password-file", "p", "--http-port", "0", "--max-clients", "5",
                                            "--client-timeout", "3", "--allow-origin", "https://ha.example"});
    ASSERT_EQ(c.error, "");
    ASSERT_EQ(c.settings.recorders.size(), 1u);
    EXPECT_EQ(c.settings.recorders[0].name, "dvr");
    EXPECT_EQ(c.settings.recorders[0].port, 50001);
    EXPECT_EQ(c.settings.recorders[0].user, "u");
    EXPECT_EQ(c.settings.recorders[0].passwordFile, "p");
    EXPECT_EQ(c.settings.httpPort, 0);
    EXPECT_EQ(c.settings.maxClients, 5);
    EXPECT_EQ(c.settings.clientTimeoutS, 3);
    EXPECT_EQ(c.settings.allowOrigin, "https://ha.example");
    // Defaults: loopback, no authentication asked for, 64 clients, 10 s.
    const CommandLine d = parseCommandLine({"--config", "/etc/vistrel-bridge/site.conf"});
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.configFile, "/etc/vistrel-bridge/site.conf");
    EXPECT_EQ(d.settings.listenAddress, "127.0.0.1");
    EXPECT_EQ(d.settings.httpPort, 8090);
    EXPECT_EQ(d.settings.maxClients, 64);
    EXPECT_EQ(d.settings.clientTimeoutS, 10);
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
}

TEST(BridgeConfig, CommandLineMistakes) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{}, "give --config FILE or --host ADDR (see --help)"},
        {{"--host", "h", "--config", "f"}, "give either --config FILE or --host ADDR, not both"},
        {{"--config", "f", "--port", "1"}, "--port, --user, --password-file and --speed go with --host"},
        {{"--host"}, "missing value for --host"},
        {{"--host", "h", "--port", "0"}, "--port must be 1 to 65535"},
        {{"--host", "h", "--max-clients", "-1"}, "--max-clients must be 1 to 4096"},
        {{"--host", "h", "--bogus"}, "unknown option --bogus (see --help)"},
        {{"--host", "h", "--allow-origin", "a\r\nSet-Cookie: x"}, "bad value for --allow-origin"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCommandLine(c.args).error, c.error) << (c.args.empty() ? "" : c.args.back());
}

TEST(BridgeConfig, ListeningOffLoopbackNeedsAuthentication) {
    struct Case {
        std::string listen;
        std::string auth;
        bool noAuth;
        bool insecure;
        bool tls;
        const char* error;
        bool warned;
    };
    const Case cases[] = {
        {"127.0.0.1", "", false, false, false, "", false},
        {"127.8.9.1", "", false, false, false, "", false},
        {"::1", "", false, false, false, "", false},
        {"localhost", "", false, false, false, "", false},
        {"0.0.0.0", "", false, false, false,
         "listening on 0.0.0.0 needs --auth FILE (or an explicit --no-auth)", false},
        {"::", "", false, false, false, "listening on :: needs --auth FILE (or an explicit --no-auth)",
         false},
        {"192.168.1.5", "", true, false, false, "", false},
        {"192.168.1.5", "users", false, false, false,
         "passwords over plain HTTP on 192.168.1.5 need --tls-cert/--tls-key (or --insecure-plain-auth)",
         false},
        {"192.168.1.5", "users", false, true, false, "", true},
        {"192.168.1.5", "users", false, false, true, "", false},
        {"192.168.1.5", "users", true, false, true, "give either --auth FILE or --no-auth, not both", false},
    };
    for (const Case& c : cases) {
        BridgeSettings s;
        s.listenAddress = c.listen;
        s.authFile = c.auth;
        s.noAuth = c.noAuth;
        s.insecurePlainAuth = c.insecure;
        if (c.tls) {
            s.tlsCert = "cert.pem";
            s.tlsKey = "key.pem";
        }
        const ListenCheck check = checkListenRules(s);
        EXPECT_EQ(check.error, c.error) << c.listen;
        EXPECT_EQ(!check.warning.empty(), c.warned) << c.listen;
    }
    BridgeSettings half;
    half.tlsCert = "cert.pem";
    EXPECT_EQ(checkListenRules(half).error, "--tls-cert and --tls-key go together");
}

TEST(BridgeConfig, PasswordIsTheFirstLine) {
    EXPECT_EQ(passwordFromFileText("s3cret\n"), "s3cret");
    EXPECT_EQ(passwordFromFileText("s3cret\r\nsecond"), "s3cret");
    EXPECT_EQ(passwordFromFileText(" spaced "), " spaced ");
    EXPECT_EQ(passwordFromFileText(""), "");
}

}  // namespace
}  // namespace dvr::bridge

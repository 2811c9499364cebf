#include "bridge/BasicAuth.h"
#include "bridge/Routing.h"

#include <gtest/gtest.h>

#include <crypt.h>

namespace dvr::bridge {
namespace {

TEST(Routing, PathsNameEndpoints) {
    struct Case {
        const char* method;
        const char* path;
        const char* fps;
        Endpoint endpoint;
        const char* recorder;
        int channel;
        int fpsValue;
    };
    const Case cases[] = {
        {"GET", "/", nullptr, Endpoint::Page, "", 0, 0},
        {"HEAD", "/index.html", nullptr, Endpoint::Page, "", 0, 0},
        {"GET", "/api/status", nullptr, Endpoint::Status, "", 0, 0},
        {"GET", "/metrics", nullptr, Endpoint::Metrics, "", 0, 0},
        {"GET", "/healthz", nullptr, Endpoint::Health, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg", nullptr, Endpoint::Stream, "dvr", 1, 0},
        {"GET", "/stream/front-2/16.mjpeg", "5", Endpoint::Stream, "front-2", 16, 5},
        {"GET", "/snapshot/dvr/9.jpg", nullptr, Endpoint::Snapshot, "dvr", 9, 0},
        {"GET", "/snapshot/dvr/9.jpg", "5", Endpoint::Snapshot, "dvr", 9, 0},
        {"GET", "/stream/dvr/0.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/17.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/01.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/+1.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/1.jpg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg/", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/../1.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/a/b/1.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream//1.mjpeg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/snapshot/dvr/.jpg", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/favicon.ico", nullptr, Endpoint::NotFound, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg", "0", Endpoint::BadRequest, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg", "61", Endpoint::BadRequest, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg", "", Endpoint::BadRequest, "", 0, 0},
        {"GET", "/stream/dvr/1.mjpeg", "2.5", Endpoint::BadRequest, "", 0, 0},
        {"GET", "relative", nullptr, Endpoint::BadRequest, "", 0, 0},
        {"GET", "/a\nb", nullptr, Endpoint::BadRequest, "", 0, 0},
        {"POST", "/", nullptr, Endpoint::MethodNotAllowed, "", 0, 0},
        {"DELETE", "/stream/dvr/1.mjpeg", nullptr, Endpoint::MethodNotAllowed, "", 0, 0},
    };
    for (const Case& c : cases) {
        const Route r = route(c.method, c.path, c.fps);
        EXPECT_EQ(r.endpoint, c.endpoint) << c.method << " " << c.path;
        EXPECT_EQ(r.recorder, c.recorder) << c.path;
        EXPECT_EQ(r.channel, c.channel) << c.path;
        EXPECT_EQ(r.fps, c.fpsValue) << c.path;
        if (c.endpoint == Endpoint::NotFound || c.endpoint == Endpoint::BadRequest) {
            EXPECT_FALSE(r.reason.empty()) << c.path;
        }
    }
    EXPECT_EQ(route("GET", "/" + std::string(2000, 'a'), nullptr).endpoint, Endpoint::BadRequest);
}

std::string hashOf(const std::string& password) {
    crypt_data data{};
    return crypt_r(password.c_str(), "$6$saltsalt$", &data);
}

TEST(BasicAuth, UsersFileAndHeaders) {
    const std::string hash = hashOf("open sesame");
    const AuthUsers users = parseAuthUsers("# users\nguard:" + hash + "\n\nha:" + hashOf("x") + "\n");
    ASSERT_EQ(users.error, "");
    ASSERT_EQ(users.hashes.size(), 2u);
    // "guard:open sesame" and variants.
    EXPECT_TRUE(checkBasicAuthorization(users, "Basic Z3VhcmQ6b3BlbiBzZXNhbWU="));
    EXPECT_TRUE(checkBasicAuthorization(users, "basic Z3VhcmQ6b3BlbiBzZXNhbWU="));
    EXPECT_FALSE(checkBasicAuthorization(users, "Basic Z3VhcmQ6b3BlbiBzZXNhbWY="));  // wrong password
    EXPECT_FALSE(checkBasicAuthorization(users, "Basic bm9ib2R5Om9wZW4gc2VzYW1l"));  // unknown user
    EXPECT_FALSE(checkBasicAuthorization(users, "Bearer Z3VhcmQ6b3BlbiBzZXNhbWU="));
    EXPECT_FALSE(checkBasicAuthorization(users, "Basic Z3VhcmQ6b3BlbiBzZXNhbWU"));   // unpadded
    EXPECT_FALSE(checkBasicAuthorization(users, "Basic Z3Vh=mQ6b3BlbiBzZXNhbWU="));  // padding inside
    EXPECT_FALSE(checkBasicAuthorization(users, "Basic Z3VhcmQ="));                  // no colon
    EXPECT_FALSE(checkBasicAuthorization(users, ""));
    const auto parsed = parseBasicAuthorization("Basic YTpiOmM=");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->user, "a");
    EXPECT_EQ(parsed->password, "b:c");
}

// The gate pays one check for a header that passed, however often it comes, and a few failed checks a
// second at most, while a header that passed still passes.
TEST(BasicAuth, GateRemembersWhatPassedAndLimitsFailedChecks) {
    int checks = 0;
    AuthGate gate([&](std::string_view header) {
        ++checks;
        return header.rfind("good", 0) == 0;
    });
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(gate.allows("good 0", i));
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(gate.allows("", 100));
    EXPECT_EQ(checks, 1) << "no header, nothing to check";

    checks = 0;
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(gate.allows("wrong " + std::to_string(i), 1000));
    EXPECT_EQ(checks, AuthGate::kFailedChecksPerSecond);
    EXPECT_TRUE(gate.allows("good 0", 1500));
    EXPECT_FALSE(gate.allows("good 1", 1500)) << "not checked until the next second";
    EXPECT_EQ(checks, AuthGate::kFailedChecksPerSecond);
    EXPECT_TRUE(gate.allows("good 1", 2000));
    EXPECT_EQ(checks, AuthGate::kFailedChecksPerSecond + 1);

    // The headers remembered are bounded: the one used longest ago is checked again.
    checks = 0;
    for (size_t i = 2; i < AuthGate::kRememberedHeaders + 1; ++i)
        ASSERT_TRUE(gate.allows("good " + std::to_string(i), 3000 + int64_t(i)));
    EXPECT_TRUE(gate.allows("good 1", 4000));
    EXPECT_EQ(checks, int(AuthGate::kRememberedHeaders) - 1);
    EXPECT_TRUE(gate.allows("good 0", 4001));
    EXPECT_EQ(checks, int(AuthGate::kRememberedHeaders)) << "the oldest was forgotten";
    EXPECT_TRUE(gate.allows("good 1", 4002));
    EXPECT_EQ(checks, int(AuthGate::kRememberedHeaders));
}

TEST(BasicAuth, UsersFileRefusesPlainPasswords) {
    EXPECT_EQ(parseAuthUsers("guard:secret\n").error,
              "line 1: the hash must be a crypt(3) hash such as mkpasswd makes");
    EXPECT_EQ(parseAuthUsers("\n:$6$a$b\n").error, "line 2: expected user:HASH");
    EXPECT_EQ(parseAuthUsers("# none\n").error, "no users");
    EXPECT_FALSE(passwordMatchesHash("x", "$6$"));
    EXPECT_FALSE(passwordMatchesHash(std::string("a\0b", 3), hashOf("a")));
}

}  // namespace
}  // namespace dvr::bridge

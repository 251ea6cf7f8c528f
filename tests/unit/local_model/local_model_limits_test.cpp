#include "fakes/fake_http_server.h"
#include "ondevice/local_model/local_model_client.h"
#include "support/task_runner.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;

namespace {

// A process on the local model's port is not trusted further than any other server.
struct LocalModelLimitsTest : ::testing::Test {
    FakeHttpServer server;
    LocalModelClient client{[this] {
        LocalModelClient::Options options;
        options.baseUrl = server.url();
        options.availabilityTimeout = std::chrono::milliseconds(10'000);
        return options;
    }()};
};

TEST_F(LocalModelLimitsTest, AnEndlessModelListIsCutAtOneMebibyte) {
    server.enqueue({200, "", "application/json", false, {}, FakeHttpServer::Stream::endless});
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));
    EXPECT_EQ(server.lastRequest().path, "/api/tags");
}

} // namespace

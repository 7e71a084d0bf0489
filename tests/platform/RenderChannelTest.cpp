#include "platform/RenderChannel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvane;
using namespace std::chrono_literals;

// The page's time is spent at once here. An answer already there is still taken: the program may
// have been suspended (Ctrl-Z) while its renderer finished the page. Nothing more arriving is a
// timeout, and a renderer that has gone is told apart from one that is slow.
TEST(RenderChannel, AnAnswerThatHasArrivedIsTakenAfterThePagesTime) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const RenderChannel::Budget spent(::getpid(), 0ms);
    const int answer = 42;
    ASSERT_EQ(::write(pair[1], &answer, sizeof answer), static_cast<ssize_t>(sizeof answer));
    int received = 0;
    RenderChannel::receive(pair[0], &received, sizeof received, spent);
    EXPECT_EQ(received, answer);
    EXPECT_THROW(RenderChannel::receive(pair[0], &received, sizeof received, spent), RenderChannel::TimedOut);
    ::close(pair[1]);
    EXPECT_THROW(RenderChannel::receive(pair[0], &received, sizeof received, RenderChannel::Budget(::getpid(), 10s)),
                 RenderChannel::Closed);
    ::close(pair[0]);
}

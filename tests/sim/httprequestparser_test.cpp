#include "sim/httprequestparser.h"

#include <gtest/gtest.h>

namespace quorvane::sim {
namespace {

using Result = HttpRequestParser::Result;

TEST(HttpRequestParser, RequestSplitAcrossReadsCompletesAtTheEmptyLine) {
    const QByteArray bytes = "GET /ivp/meters/readings?cache=14:05:09 HTTP/1.1\r\n"
                             "authorization:   Bearer abc \r\nAccept: application/json\r\n\r\n";
    HttpRequestParser parser;
    HttpRequest request;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        parser.append(bytes.mid(i, 1));
        ASSERT_EQ(parser.next(request), Result::NeedMore) << i;
    }
    parser.append(bytes.last(1));
    ASSERT_EQ(parser.next(request), Result::Complete);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/ivp/meters/readings?cache=14:05:09");
    EXPECT_EQ(request.header("Authorization"), "Bearer abc");
    EXPECT_EQ(request.header("ACCEPT"), "application/json");
    EXPECT_EQ(parser.bufferedBytes(), 0);
}

TEST(HttpRequestParser, PipelinedRequestsComeOutOneByOneWithTheirBodiesSkipped) {
    HttpRequestParser parser;
    parser.append("POST /a HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"
                  "GET /b HTTP/1.1\n\nGET /c HTTP/1.1\r\n");
    HttpRequest request;
    ASSERT_EQ(parser.next(request), Result::Complete);
    EXPECT_EQ(request.target, "/a");
    ASSERT_EQ(parser.next(request), Result::Complete);
    EXPECT_EQ(request.target, "/b");
    EXPECT_EQ(parser.next(request), Result::NeedMore);
    parser.append("\r\n");
    ASSERT_EQ(parser.next(request), Result::Complete);
    EXPECT_EQ(request.target, "/c");
}

TEST(HttpRequestParser, TargetIsTakenRawUpToTheFirstBlank) {
    const struct {
        const char* name;
        QByteArray line;
        QByteArray target;
        QByteArray path;
    } rows[] = {
        {"24-hour time", "GET /ivp/meters/readings?cache=14:05:09 HTTP/1.1",
         "/ivp/meters/readings?cache=14:05:09", "/ivp/meters/readings"},
        {"12-hour time with its blank", "GET /ivp/meters/readings?cache=2:05:09 PM HTTP/1.1",
         "/ivp/meters/readings?cache=2:05:09", "/ivp/meters/readings"},
        {"absolute form", "GET https://127.0.0.1:8443/ivp/meters/readings?x HTTP/1.1",
         "https://127.0.0.1:8443/ivp/meters/readings?x", "/ivp/meters/readings"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpRequestParser parser;
        parser.append(row.line + "\r\n\r\n");
        HttpRequest request;
        ASSERT_EQ(parser.next(request), Result::Complete);
        EXPECT_EQ(request.target, row.target);
        EXPECT_EQ(request.path(), row.path);
        EXPECT_EQ(request.version, "HTTP/1.1");
    }
}

TEST(HttpRequestParser, MalformedOrOversizeRequestsAreBad) {
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"no version", "GET /\r\n\r\n"},
        {"HTTP/2", "GET / HTTP/2.0\r\n\r\n"},
        {"target without slash", "GET ivp HTTP/1.1\r\n\r\n"},
        {"blank inside the method", "G ET / HTTP/1.1\r\n\r\n"},
        {"control byte in the line", QByteArray("GET /\x01 HTTP/1.1\r\n\r\n")},
        {"header without colon", "GET / HTTP/1.1\r\nAccept\r\n\r\n"},
        {"header name with blank", "GET / HTTP/1.1\r\nAc cept: x\r\n\r\n"},
        {"folded header", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n"},
        {"Content-Length not a number", "GET / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n"},
        {"chunked body", "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"},
        {"complete headers over 16 KiB",
         "GET / HTTP/1.1\r\nX: " + QByteArray(16 * 1024, 'a') + "\r\n\r\n"},
        {"unfinished headers over 16 KiB", "GET / HTTP/1.1\r\nX: " + QByteArray(16 * 1024, 'a')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpRequestParser parser;
        parser.append(row.bytes);
        HttpRequest request;
        EXPECT_EQ(parser.next(request), Result::Bad);
        parser.append("GET / HTTP/1.1\r\n\r\n");
        EXPECT_EQ(parser.next(request), Result::Bad);
    }
}

TEST(HttpRequestParser, KeepAliveFollowsVersionAndConnectionHeader) {
    const struct {
        QByteArray head;
        bool keepAlive;
    } rows[] = {
        {"GET / HTTP/1.1\r\n", true},
        {"GET / HTTP/1.1\r\nConnection: close\r\n", false},
        {"GET / HTTP/1.1\r\nConnection: TE, Close\r\n", false},
        {"GET / HTTP/1.0\r\n", false},
        {"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n", true},
    };
    for (const auto& row : rows) {
        HttpRequestParser parser;
        parser.append(row.head + "\r\n");
        HttpRequest request;
        ASSERT_EQ(parser.next(request), Result::Complete);
        EXPECT_EQ(request.keepAlive(), row.keepAlive) << row.head.constData();
    }
}

} // namespace
} // namespace quorvane::sim

#pragma once
// What an HTTP client of the stream server asked for, read from its request head, and the head
// of the answer. Pure: the server does the I/O. "GET /stream" is the whole transport stream,
// "GET /service/N" one service (N = 1..65535, the service number of the PAT); HEAD is refused
// like any other method (405) since a live stream has no head without a body.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct HttpStreamRequest {
    static constexpr std::size_t kMaxHeadSize = 8192;

    int status = 400;  // 200 to stream; else 400 (garbage), 404 (other path), 405 (other method)
    std::optional<std::uint16_t> service;  // with 200: one service, else the whole stream
};

// Where the head of a request ends (the index after its blank line), or npos while incomplete.
std::size_t HttpHeadEnd(std::string_view received);
// The request of a complete head (through its blank line).
HttpStreamRequest ParseHttpStreamRequest(std::string_view head);
// For 200 the head of the stream ("Content-Type: video/mp2t", no Content-Length); for the
// others (400, 404, 405, 503) the whole answer, a short text. All say "Connection: close".
std::string HttpAnswerHead(int status);

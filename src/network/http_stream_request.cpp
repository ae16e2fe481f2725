#include "network/http_stream_request.h"

#include <charconv>

namespace {

constexpr std::string_view kStream = "/stream";
constexpr std::string_view kService = "/service/";

// The next word of `line` up to a space, taken off its front.
std::string_view NextWord(std::string_view& line) {
    const std::size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    return word;
}

bool IsToken(std::string_view word) {
    if (word.empty()) return false;
    for (const char c : word) {
        if (c < 'A' || c > 'Z') return false;
    }
    return true;
}

}  // namespace

std::size_t HttpHeadEnd(std::string_view received) {
    // Clients end lines with CRLF; a bare LF is tolerated, as RFC 9112 section 2.2 allows.
    const std::size_t crlf = received.find("\r\n\r\n");
    const std::size_t lf = received.find("\n\n");
    if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf))
        return crlf + 4;
    if (lf != std::string_view::npos) return lf + 2;
    return std::string_view::npos;
}

HttpStreamRequest ParseHttpStreamRequest(std::string_view head) {
    HttpStreamRequest request;  // 400 until proven otherwise
    std::string_view line = head.substr(0, head.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view method = NextWord(line);
    std::string_view target = NextWord(line);
    const std::string_view version = NextWord(line);
    if (!IsToken(method) || !target.starts_with('/') || !version.starts_with("HTTP/1.") ||
        version.size() != 8 || !line.empty())
        return request;
    if (method != "GET") {
        request.status = 405;
        return request;
    }
    target = target.substr(0, target.find('?'));
    request.status = 404;
    if (target == kStream) {
        request.status = 200;
    } else if (target.starts_with(kService)) {
        const std::string_view digits = target.substr(kService.size());
        unsigned number = 0;
        const char* end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data(), end, number);
        if (!digits.empty() && error == std::errc() && stop == end && number >= 1 &&
            number <= 0xFFFF) {
            request.status = 200;
            request.service = static_cast<std::uint16_t>(number);
        }
    }
    return request;
}

std::string HttpAnswerHead(int status) {
    if (status == 200) {
        return "HTTP/1.1 200 OK\r\n"
               "Content-Type: video/mp2t\r\n"
               "Cache-Control: no-cache\r\n"
               "Connection: close\r\n\r\n";
    }
    std::string reason = "Bad Request";
    std::string body = "Bad request: ask for GET /stream or GET /service/N.\n";
    std::string extra;
    if (status == 404) {
        reason = "Not Found";
        body = "Not found: ask for /stream or /service/N (N: a service number).\n";
    } else if (status == 405) {
        reason = "Method Not Allowed";
        body = "Only GET is served.\n";
        extra = "Allow: GET\r\n";
    } else if (status == 503) {
        reason = "Service Unavailable";
        body = "Too many clients: try again later.\n";
    }
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" +
           "Content-Type: text/plain; charset=utf-8\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Connection: close\r\n\r\n" +
           body;
}

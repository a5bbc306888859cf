#include "core/http/ResponseReader.h"

#include <charconv>

#include "core/http/HttpText.h"
#include "core/platform/WholeNumber.h"

namespace lm {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

}  // namespace

ReadResult ResponseReader::read(HttpResponse& response) {
    response = HttpResponse{};
    response.result = readResponse(response);
    return response.result;
}

ReadResult ResponseReader::readResponse(HttpResponse& response) {
    std::size_t headBudget = maxHeadBytes_;
    for (;;) {
        const auto head = readHead(headBudget);
        if (!head) return ReadResult::headFailed;
        headBudget -= head->size();
        if (const auto parsed = parseHead(*head, response); parsed != ReadResult::success) return parsed;
        if (response.statusCode != 100) {
            response.buffer.assign(head->begin(), head->end());
            response.headerLength = head->size();
            return readBody(response);
        }
        // Only an interim answer; the real response follows.
        response = HttpResponse{};
    }
}

std::optional<std::string> ResponseReader::readHead(std::size_t limit) {
    std::size_t searched = 0;
    for (;;) {
        const std::string_view pending(reinterpret_cast<const char*>(in_.data()) + pos_, unread());
        if (const auto end = pending.find(kHeadEnd, searched); end != std::string_view::npos) {
            const std::size_t length = end + kHeadEnd.size();
            if (length > limit) return std::nullopt;
            pos_ += length;
            return std::string(pending.substr(0, length));
        }
        if (pending.size() >= limit) return std::nullopt;
        searched = pending.size() - std::min<std::size_t>(pending.size(), kHeadEnd.size() - 1);
        if (pull(kHeadReceive) != ReceiveStatus::data) return std::nullopt;
    }
}

ReadResult ResponseReader::parseHead(std::string_view head, HttpResponse& response) const {
    const auto lineEnd = head.find('\n');
    const std::string_view statusLine = head.substr(0, lineEnd);
    if (statusLine.find('\0') != std::string_view::npos) return ReadResult::noStatusLine;
    // The protocol word, white space, then the code.
    const auto gap = statusLine.find_first_of(" \t");
    const auto code = statusLine.find_first_not_of(" \t", gap);
    if (gap == std::string_view::npos || code == std::string_view::npos) return ReadResult::noStatusLine;
    std::string_view digits = statusLine.substr(code, 4);
    digits = digits.substr(0, digits.find_first_not_of("0123456789"));
    if (digits.empty() || digits.size() > 3) return ReadResult::noStatusLine;
    std::from_chars(digits.data(), digits.data() + digits.size(), response.statusCode);

    const std::string_view lines = head.substr(lineEnd + 1);
    if (lines.find('\0') != std::string_view::npos) return ReadResult::badHeader;
    return parseHeaderLines(lines, response) ? ReadResult::success : ReadResult::badHeader;
}

bool ResponseReader::parseHeaderLines(std::string_view lines, HttpResponse& response) const {
    std::string name;
    std::string value;
    bool pending = false;
    const auto store = [&] {
        if (!pending) return true;
        pending = false;
        if (name.size() >= kMaxFieldLength || value.size() >= kMaxFieldLength) return false;
        response.headers.add(name, value);
        if (httptext::equalsNoCase(name, "www-authenticate") ||
            httptext::equalsNoCase(name, "proxy-authenticate"))
            response.authenticationSchemes.push_back(value);
        return true;
    };
    while (!lines.empty()) {
        const auto lineEnd = std::min(lines.find('\n'), lines.size());
        std::string_view line = lines.substr(0, lineEnd);
        lines.remove_prefix(std::min(lineEnd + 1, lines.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) break;
        if (line.front() == ' ' || line.front() == '\t') {  // continues the header above
            if (pending) (value += value.empty() ? "" : " ") += httptext::trim(line);
            continue;
        }
        if (!store()) return false;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        name = line.substr(0, colon);
        value = httptext::trim(line.substr(colon + 1));
        pending = true;
    }
    return store();
}

ReadResult ResponseReader::readBody(HttpResponse& response) {
    // These never carry a body, whatever their headers say.
    if (response.statusCode == 204 || response.statusCode == 304 || headRequest_) return ReadResult::success;

    std::vector<unsigned char> body;
    ReadResult result = ReadResult::success;
    if (response.headers.has("Transfer-Encoding", "chunked")) {
        if (!readChunked(body, response)) result = ReadResult::chunkedFailed;
    } else if (const std::string* lengthText = response.headers.find("Content-Length")) {
        // Absent, negative, garbled or beyond the bound: refused before anything is allocated.
        const auto length = parseWholeNumber<std::size_t>(httptext::trim(*lengthText), 0, maxBodyBytes_);
        if (!length || !readKnownLength(body, *length)) result = ReadResult::bodyFailed;
    } else if (!readUntilClose(body)) {
        result = ReadResult::bodyFailed;
    }
    response.buffer.insert(response.buffer.end(), body.begin(), body.end());
    response.bodyLength = body.size();
    return result;
}

bool ResponseReader::readKnownLength(std::vector<unsigned char>& body, std::size_t length) {
    length -= take(body, length);
    while (length > 0) {
        if (pull(std::min(readBlockSize_, length)) != ReceiveStatus::data) return false;
        length -= take(body, length);
    }
    return true;
}

bool ResponseReader::readUntilClose(std::vector<unsigned char>& body) {
    for (;;) {
        take(body, unread());
        if (body.size() > maxBodyBytes_) return false;
        switch (pull(readBlockSize_)) {
            case ReceiveStatus::data:
                break;
            case ReceiveStatus::outOfTime:  // still sending when the fetch ran out: cut short
                return false;
            case ReceiveStatus::closed:
            case ReceiveStatus::failed:
                return true;
        }
    }
}

bool ResponseReader::readChunked(std::vector<unsigned char>& body, HttpResponse& response) {
    for (;;) {
        const auto sizeLine = readLine(kMaxChunkSizeLine);
        if (!sizeLine) return false;
        // Hex digits only: an extension, a sign or a size past the body bound fails.
        const auto size = parseWholeNumber<std::size_t>(*sizeLine, 0, maxBodyBytes_ - body.size(), 16);
        if (!size) return false;
        if (*size == 0) break;
        if (!readKnownLength(body, *size) || !readLine(0)) return false;
    }
    std::string trailers;
    for (;;) {
        const auto line = readLine(maxHeadBytes_ - std::min(trailers.size(), maxHeadBytes_));
        if (!line) return false;
        if (line->empty()) break;
        (trailers += *line) += "\r\n";
    }
    return !response.headers.find("Trailer") || parseHeaderLines(trailers, response);
}

std::optional<std::string> ResponseReader::readLine(std::size_t limit) {
    std::size_t searched = 0;
    for (;;) {
        const auto begin = in_.begin() + static_cast<std::ptrdiff_t>(pos_);
        const auto lineFeed = std::find(begin + static_cast<std::ptrdiff_t>(searched), in_.end(), '\n');
        if (lineFeed != in_.end()) {
            const auto length = static_cast<std::size_t>(lineFeed - begin);
            if (length == 0 || *(lineFeed - 1) != '\r' || length - 1 > limit) return std::nullopt;
            std::string line(begin, lineFeed - 1);
            if (line.find('\0') != std::string::npos) return std::nullopt;
            pos_ += length + 1;
            return line;
        }
        if (unread() > limit + 1) return std::nullopt;
        searched = unread();
        if (pull(readBlockSize_) != ReceiveStatus::data) return std::nullopt;
    }
}

ReceiveStatus ResponseReader::pull(std::size_t atMost) {
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
    const std::size_t held = in_.size();
    in_.resize(held + atMost);
    const Received got = source_.receive(std::span(in_).subspan(held));
    const bool gotData = got.status == ReceiveStatus::data && got.count > 0;
    in_.resize(held + (gotData ? std::min(got.count, atMost) : 0));
    if (got.status == ReceiveStatus::data && !gotData) return ReceiveStatus::failed;
    return got.status;
}

std::size_t ResponseReader::take(std::vector<unsigned char>& out, std::size_t atMost) {
    const std::size_t n = std::min(atMost, unread());
    const auto from = in_.begin() + static_cast<std::ptrdiff_t>(pos_);
    out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(n));
    pos_ += n;
    return n;
}

}  // namespace lm

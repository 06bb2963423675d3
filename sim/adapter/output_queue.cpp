#include "sim/adapter/output_queue.h"

#include <algorithm>

namespace korvane::sim {

std::int64_t byteTimeNs(int rate) {
    if (rate <= 0) {
        return 0;
    }
    return 10'000'000'000LL / rate;
}

void OutputQueue::push(std::string bytes, std::int64_t readyNs, int rate, std::int64_t perByteNs) {
    if (bytes.empty()) {
        return;
    }
    Piece piece;
    piece.bytes = std::move(bytes);
    piece.readyNs = readyNs;
    piece.rate = rate;
    piece.perByteNs = perByteNs;
    pieces_.push_back(std::move(piece));
}

void OutputQueue::pushAnnouncement(std::string bytes, std::int64_t readyNs, int rate,
                                   std::int64_t perByteNs, std::int64_t windowNs) {
    Piece piece;
    piece.kind = Kind::Announcement;
    piece.bytes = std::move(bytes);
    piece.readyNs = readyNs;
    piece.rate = rate;
    piece.perByteNs = perByteNs;
    piece.windowNs = windowNs;
    pieces_.push_back(std::move(piece));
}

void OutputQueue::pushDrop(std::int64_t readyNs) {
    Piece piece;
    piece.kind = Kind::Drop;
    piece.readyNs = readyNs;
    pieces_.push_back(std::move(piece));
}

bool OutputQueue::ratesMatch(int hostRate, int pieceRate) {
    return hostRate == 0 || hostRate == pieceRate;
}

std::int64_t OutputQueue::startOf(const Piece& piece) const {
    return piece.startNs >= 0 ? piece.startNs : std::max(piece.readyNs, linkFreeNs_);
}

OutputQueue::Events OutputQueue::collect(std::int64_t nowNs, int hostRate, std::string& out) {
    Events events;
    while (!pieces_.empty()) {
        Piece& piece = pieces_.front();
        piece.startNs = startOf(piece);
        if (nowNs < piece.startNs) {
            break;
        }
        if (piece.kind == Kind::Drop) {
            events.dropReached = true;
            pieces_.pop_front();
            break;
        }
        if (piece.kind == Kind::Announcement) {
            if (ratesMatch(hostRate, piece.rate)) {
                // Over a pty the rate change is only seen now; over TCP it was always there.
                if (hostRate != 0) {
                    piece.startNs = nowNs;
                }
                piece.kind = Kind::Bytes;
                events.announcementSent = true;
                continue;
            }
            if (nowNs < piece.startNs + piece.windowNs) {
                break;
            }
            // Sent at a rate the host's end did not run at: it crossed the wire as noise.
            const auto size = static_cast<std::int64_t>(piece.bytes.size());
            bytesGarbled_ += piece.bytes.size();
            if (piece.rate > 0) {
                linkSeconds_ += static_cast<double>(size) * 10.0 / piece.rate;
            }
            linkFreeNs_ = piece.startNs + size * piece.perByteNs;
            events.announcementLost = true;
            pieces_.pop_front();
            continue;
        }

        const std::size_t size = piece.bytes.size();
        std::size_t due = size - piece.sent;
        if (piece.perByteNs > 0) {
            const auto byTime = static_cast<std::size_t>((nowNs - piece.startNs) / piece.perByteNs);
            due = std::min(byTime, size) > piece.sent ? std::min(byTime, size) - piece.sent : 0;
        }
        if (due == 0) {
            break;
        }
        if (ratesMatch(hostRate, piece.rate)) {
            out.append(piece.bytes, piece.sent, due);
            bytesSent_ += due;
        } else {
            bytesGarbled_ += due;
        }
        if (piece.rate > 0) {
            linkSeconds_ += static_cast<double>(due) * 10.0 / piece.rate;
        }
        piece.sent += due;
        if (piece.sent < size) {
            break;
        }
        linkFreeNs_ = piece.startNs + static_cast<std::int64_t>(size) * piece.perByteNs;
        pieces_.pop_front();
    }
    return events;
}

std::int64_t OutputQueue::nextDueNs(int hostRate) const {
    if (pieces_.empty()) {
        return kNever;
    }
    const Piece& piece = pieces_.front();
    const std::int64_t start = startOf(piece);
    switch (piece.kind) {
        case Kind::Drop:
            return start;
        case Kind::Announcement:
            return ratesMatch(hostRate, piece.rate) ? start : start + piece.windowNs;
        case Kind::Bytes:
            break;
    }
    if (piece.perByteNs == 0) {
        return start;
    }
    return start + static_cast<std::int64_t>(piece.sent + 1) * piece.perByteNs;
}

bool OutputQueue::waitingForHostRate(int hostRate) const {
    return !pieces_.empty() && pieces_.front().kind == Kind::Announcement &&
           !ratesMatch(hostRate, pieces_.front().rate);
}

void OutputQueue::clear() {
    pieces_.clear();
    linkFreeNs_ = 0;
}

}  // namespace korvane::sim

#include "tests/windows/windows_test_support.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace korvane::test {

namespace {

std::string currentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

bool startWinsock() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

}  // namespace

ScopedTempCwd::ScopedTempCwd() : previous_(currentDirectory()) {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    for (;;) {
        std::ostringstream name;
        name << base << "korvane-test-" << GetCurrentProcessId() << "-" << ++counter << "-"
             << GetTickCount();
        if (CreateDirectoryA(name.str().c_str(), nullptr)) {
            path_ = name.str();
            break;
        }
    }
    SetCurrentDirectoryA(path_.c_str());
}

ScopedTempCwd::~ScopedTempCwd() {
    SetCurrentDirectoryA(previous_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::optional<ComPair> comPairFromEnvironment() {
    const char* value = std::getenv("KORVANE_TEST_COM_PAIR");
    if (value == nullptr) {
        return std::nullopt;
    }
    const std::string text = value;
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || comma == 0 || comma + 1 == text.size()) {
        return std::nullopt;
    }
    return ComPair{text.substr(0, comma), text.substr(comma + 1)};
}

RawComPeer::RawComPeer(const std::string& name, int baud) {
    const std::string path = "\\\\.\\" + name;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    if (!valid()) {
        return;
    }
    if (!setBaud(baud)) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return;
    }
    discardInput();
}

RawComPeer::~RawComPeer() {
    if (valid()) {
        CloseHandle(handle_);
    }
}

bool RawComPeer::setBaud(int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return SetCommState(handle_, &dcb) != FALSE;
}

bool RawComPeer::write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr)) {
            return false;
        }
        done += written;
    }
    return true;
}

bool RawComPeer::write(const std::string& text) {
    return write(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> RawComPeer::read(std::size_t count, int timeoutMs) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
    SetCommTimeouts(handle_, &timeouts);
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    const auto start = Clock::now();
    while (done < count && msSince(start) < timeoutMs) {
        DWORD got = 0;
        if (!ReadFile(handle_, bytes.data() + done, static_cast<DWORD>(count - done), &got,
                      nullptr)) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void RawComPeer::discardInput() {
    PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
}

RawListener::RawListener() {
    started_ = startWinsock();
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = loopback(0);
    int size = sizeof address;
    if (socket_ == INVALID_SOCKET ||
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 5) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
}

RawListener::~RawListener() {
    if (socket_ != INVALID_SOCKET) {
        ::closesocket(socket_);
    }
    if (started_) {
        WSACleanup();
    }
}

SOCKET RawListener::acceptOne(int timeoutMs) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket_, &ready);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::select(0, &ready, nullptr, nullptr, &limit) != 1) {
        return INVALID_SOCKET;
    }
    return ::accept(socket_, nullptr, nullptr);
}

RawSocket::~RawSocket() {
    close();
}

void RawSocket::close() {
    if (socket_ != INVALID_SOCKET) {
        ::closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

bool RawSocket::sendAll(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int sent = ::send(socket_, reinterpret_cast<const char*>(bytes.data() + done),
                                static_cast<int>(bytes.size() - done), 0);
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::vector<std::uint8_t> RawSocket::receive(std::size_t count, int timeoutMs) {
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    const auto start = Clock::now();
    while (done < count) {
        const long long left = timeoutMs - msSince(start);
        if (left <= 0) {
            break;
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket_, &ready);
        timeval limit{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
        if (::select(0, &ready, nullptr, nullptr, &limit) != 1) {
            continue;
        }
        const int got = ::recv(socket_, reinterpret_cast<char*>(bytes.data() + done),
                               static_cast<int>(count - done), 0);
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

RawClient::RawClient(int port) {
    started_ = startWinsock();
    const SOCKET raw = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (raw == INVALID_SOCKET) {
        return;
    }
    sockaddr_in address = loopback(port);
    if (::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(raw);
        return;
    }
    sockaddr_in local{};
    int size = sizeof local;
    ::getsockname(raw, reinterpret_cast<sockaddr*>(&local), &size);
    localPort_ = ntohs(local.sin_port);
    socket_.adopt(raw);
}

RawClient::~RawClient() {
    socket_.close();
    if (started_) {
        WSACleanup();
    }
}

int unusedLoopbackPort() {
    RawListener listener;
    return listener.port();
}

bool socketLayerReleased() {
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET) {
        ::closesocket(probe);
        return false;
    }
    return WSAGetLastError() == WSANOTINITIALISED;
}

std::vector<std::uint8_t> patternBytes(std::size_t count, unsigned seed) {
    std::vector<std::uint8_t> bytes(count);
    unsigned state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::chrono::microseconds processCpuTime() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
}

}  // namespace korvane::test

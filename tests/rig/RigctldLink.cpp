#include "tests/rig/RigctldLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

int MsLeft(TRigctldClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TRigctldClock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool WaitFor(int socket, short events, TRigctldClock::time_point deadline)
{
    pollfd one{socket, events, 0};
    return poll(&one, 1, MsLeft(deadline)) > 0;
}

class TPosixLink final : public IRigctldLink {
public:
    ~TPosixLink() override { Close(); }

    void Connect(const std::string& host, uint16_t port, TRigctldClock::time_point deadline) override
    {
        Close();
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
            throw ERigctldLinkError("cannot find the host");
        FSocket = socket(found->ai_family, SOCK_STREAM, 0);
        fcntl(FSocket, F_SETFL, O_NONBLOCK);
        const int done = connect(FSocket, found->ai_addr, found->ai_addrlen);
        freeaddrinfo(found);
        if (done != 0 && errno != EINPROGRESS)
            throw ERigctldLinkError(std::string("cannot connect: ") + std::strerror(errno));
        if (!WaitFor(FSocket, POLLOUT, deadline))
            throw ERigctldLinkError("no answer to the connection");
        int error = 0;
        socklen_t size = sizeof(error);
        getsockopt(FSocket, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0)
            throw ERigctldLinkError(std::string("cannot connect: ") + std::strerror(error));
    }

    void Close() override
    {
        if (FSocket >= 0)
            close(FSocket);
        FSocket = -1;
        FLines.Clear();
    }

    void Send(std::string_view text, TRigctldClock::time_point deadline) override
    {
        while (!text.empty()) {
            const ssize_t sent = send(FSocket, text.data(), text.size(), MSG_NOSIGNAL);
            if (sent > 0)
                text.remove_prefix(static_cast<size_t>(sent));
            else if (errno == EPIPE || errno == ECONNRESET)
                throw ERigctldConnectionLost("it ended the connection");
            else if (errno != EAGAIN || !WaitFor(FSocket, POLLOUT, deadline))
                throw ERigctldLinkError("cannot send");
        }
    }

    std::string ReadLine(TRigctldClock::time_point deadline) override
    {
        std::string line;
        char buffer[4096];
        while (!FLines.TakeLine(line)) {
            if (!WaitFor(FSocket, POLLIN, deadline))
                throw ERigctldLinkError("it does not answer");
            const ssize_t got = recv(FSocket, buffer, sizeof(buffer), 0);
            if (got == 0)
                throw ERigctldConnectionLost("it closed the connection");
            if (got < 0 && errno != EAGAIN)
                throw ERigctldConnectionLost(std::string("the connection failed: ") + std::strerror(errno));
            if (got > 0)
                FLines.Append(std::string_view(buffer, static_cast<size_t>(got)));
        }
        return line;
    }

private:
    int FSocket = -1;
    TLineBuffer FLines;
};

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Something listens on the loopback port: read from the system's table, not
// by connecting, since a connection that comes and goes at once may cost
// rigctld the next one.
bool Listening(uint16_t port)
{
    std::ifstream table("/proc/net/tcp");
    char wanted[16];
    std::snprintf(wanted, sizeof(wanted), "0100007F:%04X", port);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

} // namespace

std::unique_ptr<IRigctldLink> MakePosixRigctldLink() { return std::make_unique<TPosixLink>(); }

uint16_t FreeLoopbackPort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    socklen_t size = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

bool TRigctldProcess::Start()
{
    Kill();
    std::vector<std::string> args = {"rigctld", "-m", "1", "-T", "127.0.0.1", "-t", std::to_string(FPort)};
    args.insert(args.end(), FExtra.begin(), FExtra.end());
    FPid = fork();
    if (FPid == 0) {
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp("rigctld", argv.data());
        _exit(127);
    }
    for (int i = 0; i < 100; ++i) {
        if (Listening(FPort))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void TRigctldProcess::Kill()
{
    if (FPid <= 0)
        return;
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
    FPid = -1;
}

TSilentListener::TSilentListener() : FSocket(socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address = Loopback(0);
    bind(FSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    listen(FSocket, 8);
    socklen_t size = sizeof(address);
    getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &size);
    FPort = ntohs(address.sin_port);
}

TSilentListener::~TSilentListener() { close(FSocket); }

// The XML-RPC protocol against hamlib's own client, natively: rigctl -m 4 (the
// backend WSJT-X and the like use for the rig program) talks to the protocol
// served over a loopback socket, on the transceiver polling a simulated radio
// (the stand-in rig server's). Skipped where hamlib's client is not installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <memory>

#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/SimulatedRigServer.h"
#include "ui/Forms.h"
#include "xmlrpc/XmlRpcSession.h"

extern char** environ;

namespace {

constexpr const char kRigctl[] = "/usr/bin/rigctl";

class XmlRpcClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(kRigctl, X_OK) != 0)
            GTEST_SKIP() << "hamlib's rigctl is not installed";
        FListener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        socklen_t length = sizeof(address);
        getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
        FPort = ntohs(address.sin_port);
        ASSERT_EQ(listen(FListener, 16), 0);
        Trx->StartPolling();
        Tick();
    }
    void TearDown() override
    {
        for (auto& [fd, session] : FSessions)
            close(fd);
        if (FListener >= 0)
            close(FListener);
    }

    void Tick() { DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); }); }

    // Runs rigctl with the arguments against the port, serving it, until it
    // ends (within 10 s: hamlib's client waits a second for each reply that
    // does not end in a line end); its output. Its exit code goes to LastExit.
    std::string Rigctl(std::vector<std::string> args)
    {
        args.insert(args.begin(), {kRigctl, "-m", "4", "-r", "127.0.0.1:" + std::to_string(FPort)});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0)
            return "no pipe";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child = 0;
        const int spawned = posix_spawn(&child, kRigctl, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            return "no rigctl";
        }
        std::string output;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        bool open = true;
        while (open && std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> fds{{out[0], POLLIN, 0}, {FListener, POLLIN, 0}};
            for (auto& [fd, session] : FSessions)
                fds.push_back({fd, static_cast<short>(POLLIN | (session->Output().empty() ? 0 : POLLOUT)), 0});
            bool pending = false;
            for (auto& [fd, session] : FSessions)
                pending = pending || session->Pending();
            poll(fds.data(), fds.size(), pending ? 0 : 20);
            Tick();
            char buffer[4096];
            if (fds[0].revents) {
                const ssize_t got = read(out[0], buffer, sizeof(buffer));
                if (got > 0)
                    output.append(buffer, static_cast<size_t>(got));
                else
                    open = false;
            }
            if (fds[1].revents & POLLIN)
                FSessions[accept(FListener, nullptr, nullptr)] = std::make_unique<TXmlRpcSession>(Shared);
            for (size_t i = 2; i < fds.size(); ++i) {
                auto found = FSessions.find(fds[i].fd);
                TXmlRpcSession& session = *found->second;
                if (fds[i].revents & POLLIN) {
                    const ssize_t got = recv(fds[i].fd, buffer, sizeof(buffer), 0);
                    if (got <= 0) {
                        close(fds[i].fd);
                        FSessions.erase(found);
                        continue;
                    }
                    session.Received(std::string_view(buffer, static_cast<size_t>(got)));
                }
                // A share an event, as the port runs them.
                session.Run();
                if (session.Refused()) {
                    close(fds[i].fd);
                    FSessions.erase(found);
                    continue;
                }
                const std::string_view pending = session.Output();
                if (!pending.empty()) {
                    const ssize_t sent = send(fds[i].fd, pending.data(), pending.size(), MSG_NOSIGNAL);
                    if (sent > 0)
                        session.Sent(static_cast<size_t>(sent));
                }
                if (session.Finished()) {
                    close(fds[i].fd);
                    FSessions.erase(found);
                }
            }
        }
        close(out[0]);
        if (open)
            kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        LastExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return open ? "rigctl did not end" : output;
    }

    THeadlessHost Host;
    TApplication App{Host};
    TSimulatedRigServer* Server = nullptr;
    TTransceiver* Trx = MakeTransceiver();
    TRigctlRig Shared{Trx};
    int LastExit = -1;

private:
    TTransceiver* MakeTransceiver()
    {
        auto server = std::make_unique<TSimulatedRigServer>();
        Server = server.get();
        return new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(server));
    }

    int FListener = -1;
    uint16_t FPort = 0;
    std::map<int, std::unique_ptr<TXmlRpcSession>> FSessions;
};

TEST_F(XmlRpcClient, OpensReadsAndCommandsTheRadio)
{
    using namespace RigParams;
    EXPECT_EQ(Rigctl({"f"}), "14200000\n");
    EXPECT_EQ(LastExit, 0);
    EXPECT_EQ(Rigctl({"F", "7074000", "f"}), "7074000\n");
    EXPECT_EQ(Server->Radio.FreqA(), 7074000);
    EXPECT_EQ(Rigctl({"M", "PKTUSB", "0", "m"}), "PKTUSB\n2400\n");
    EXPECT_EQ(Server->Radio.Mode(), DIG_U);
    EXPECT_EQ(Rigctl({"M", "CWR", "0"}), "");
    EXPECT_EQ(Server->Radio.Mode(), CW_L);
    EXPECT_EQ(Rigctl({"m"}), "CWR\n500\n") << "the mode's usual width";
    EXPECT_EQ(Rigctl({"M", "USB", "2400"}), "");
    EXPECT_EQ(Server->Radio.Mode(), SSB_U);
    EXPECT_EQ(Rigctl({"V", "VFOB", "v"}), "VFOB\n");
    EXPECT_EQ(Server->Radio.Vfo(), VFOBB);
    EXPECT_EQ(Rigctl({"V", "VFOA"}), "");
    EXPECT_EQ(Server->Radio.Vfo(), VFOAA);
    // Split transmits on VFO B, as the backend has it.
    EXPECT_EQ(Rigctl({"S", "1", "VFOB", "s"}), "1\nVFOB\n");
    EXPECT_EQ(Server->Radio.Vfo(), VFOAB);
    EXPECT_EQ(Rigctl({"I", "7075000", "i"}), "7075000\n");
    EXPECT_EQ(Server->Radio.FreqB(), 7075000);
    EXPECT_EQ(Rigctl({"S", "0", "VFOA", "s"}), "0\nVFOA\n");
    EXPECT_EQ(Server->Radio.Vfo(), VFOAA);
    EXPECT_EQ(LastExit, 0);
}

TEST_F(XmlRpcClient, WhileTheRadioIsAwayItCannotOpen)
{
    Trx->StopPolling();
    // Its open reads the mode: a fault, and the open fails, nothing sent.
    const std::string output = Rigctl({"F", "7074000"});
    EXPECT_NE(LastExit, 0) << output;
    EXPECT_EQ(Server->Radio.FreqA(), 14200000);
}

} // namespace

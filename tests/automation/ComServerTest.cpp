#include <gtest/gtest.h>

#include "automation/ComServer.h"
#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

// COM's count of server-process references, as the server changes it.
class TFakeComProcess : public IComProcess {
public:
    uint32_t Refs = 0;
    int Resumed = 0;
    uint32_t AddRefServerProcess() override { return ++Refs; }
    uint32_t ReleaseServerProcess() override { return --Refs; }
    void ResumeClassObjects() override { ++Resumed; }
};

const std::string kWarning =
    "There are still active COM objects in this application.  One or more clients may have references to these "
    "objects, so manually closing this application may cause those client application(s) to fail.\r\n\r\n"
    "Are you sure you want to close this application?";
constexpr unsigned kWarningStyle = MsgBox::kYesNo | MsgBox::kIconWarning | MsgBox::kDefButton2 | MsgBox::kTaskModal;

class ComServerTest : public ::testing::Test {
protected:
    // The server as the program runs it: its main form, the closing warning
    // among the termination checks, the memory list's close check counted.
    void Start(TStartMode mode)
    {
        Server = std::make_unique<TComServer>(mode, Process);
        Main = new TForm(&App);
        Server->Attach(App, [this] {
            ++CloseChecks;
            return MemoriesMayGo;
        });
    }
    void TearDown() override
    {
        if (Server)
            Server->Detach();
    }
    void ExpectLastRelease(TStartMode mode, bool ends);
    // Closing the main window, as the operator does.
    bool Close()
    {
        Main->Close();
        return Host.Terminated();
    }

    THeadlessHost Host;
    TApplication App{Host};
    TFakeComProcess Process;
    std::unique_ptr<TComServer> Server;
    TForm* Main = nullptr;
    int CloseChecks = 0;
    bool MemoriesMayGo = true;
};

// Counts an object and a lock in and out again; the program ends only when
// COM started it.
void ComServerTest::ExpectLastRelease(TStartMode mode, bool ends)
{
    Start(mode);
    Server->CountIn(); // an object
    Server->CountIn(); // a lock
    EXPECT_EQ(Server->ObjectCount(), 2);
    EXPECT_EQ(Process.Refs, ends ? 2u : 0u);
    Server->CountOut();
    EXPECT_EQ(Host.MainLoopCallsWaiting(), 0u);
    Server->CountOut();
    EXPECT_EQ(Server->ObjectCount(), 0);
    EXPECT_EQ(Process.Refs, 0u);
    EXPECT_FALSE(Host.Terminated()) << "never from inside the release";
    Host.RunMainLoopCalls();
    EXPECT_EQ(Host.Terminated(), ends);
    EXPECT_EQ(CloseChecks, ends ? 1 : 0) << "the memory list is asked on the way";
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "no closing warning on this path";
}

TEST_F(ComServerTest, AnAutomationStartEndsInItsMainLoopAfterTheLastRelease) { ExpectLastRelease(TStartMode::Automation, true); }

TEST_F(ComServerTest, AStandaloneStartOutlivesItsLastClient) { ExpectLastRelease(TStartMode::Standalone, false); }

TEST_F(ComServerTest, AnAutomationStartThatNeverServedRunsOnLikeAStandaloneOne)
{
    Start(TStartMode::Automation);
    Host.RunMainLoopCalls();
    EXPECT_FALSE(Host.Terminated());
    EXPECT_TRUE(Close()) << "the operator closes it, no warning";
    EXPECT_TRUE(Host.MessageBoxes().empty());
}

TEST_F(ComServerTest, UnsavedMemoriesKeptByTheOperatorKeepTheProgramServingAsIfTheOperatorStartedIt)
{
    Start(TStartMode::Automation);
    MemoriesMayGo = false; // Cancel in the memory list's question
    Server->CountIn();
    Server->CountOut();
    Host.RunMainLoopCalls();
    EXPECT_EQ(CloseChecks, 1);
    EXPECT_FALSE(Host.Terminated());
    EXPECT_EQ(Process.Resumed, 1) << "its class object serves again";
    EXPECT_EQ(Server->StartMode(), TStartMode::Standalone);

    // A later client neither holds the process nor ends it.
    Server->CountIn();
    EXPECT_EQ(Process.Refs, 0u);
    Server->CountOut();
    Host.RunMainLoopCalls();
    EXPECT_FALSE(Host.Terminated());
    EXPECT_EQ(CloseChecks, 1);
}

TEST_F(ComServerTest, AStartByComThatTheOperatorStartsAgainBecomesTheOperatorsAndOutlivesItsClients)
{
    Start(TStartMode::Automation);
    Server->CountIn();
    EXPECT_TRUE(Server->OperatorStarted()) << "it comes to the front";
    EXPECT_EQ(Server->StartMode(), TStartMode::Standalone);
    EXPECT_EQ(Process.Resumed, 1);
    Server->CountOut();
    Host.RunMainLoopCalls();
    EXPECT_FALSE(Host.Terminated()) << "the last release leaves it running";
    EXPECT_EQ(CloseChecks, 0);

    // Once the operator let it end, another start waits for it to go.
    Server->CountIn();
    Host.AnswerMessageBox(MsgBox::kIdYes);
    EXPECT_TRUE(Close());
    EXPECT_FALSE(Server->OperatorStarted());
}

TEST_F(ComServerTest, ALockGivenBackThatWasNeverTakenChangesNothing)
{
    Start(TStartMode::Automation);
    Server->CountIn();
    Server->CountOut();
    Server->CountOut(); // LockServer(FALSE) once too often
    EXPECT_EQ(Server->ObjectCount(), 0);
    EXPECT_EQ(Process.Refs, 0u) << "COM's count is not pulled below zero";
    EXPECT_EQ(Host.MainLoopCallsWaiting(), 1u) << "one end, for the real last release";
}

TEST_F(ComServerTest, AClientThatCameBeforeTheMainLoopRanKeepsTheProgram)
{
    Start(TStartMode::Automation);
    Server->CountIn();
    Server->CountOut();
    Server->CountIn(); // served before the posted end ran
    Host.RunMainLoopCalls();
    EXPECT_FALSE(Host.Terminated());
    EXPECT_EQ(CloseChecks, 0);
    EXPECT_EQ(Process.Resumed, 1) << "the suspended class object serves again";
    Server->CountOut();
    Host.RunMainLoopCalls();
    EXPECT_TRUE(Host.Terminated());
}

// Whatever the memory list's question ends in, the program started by COM
// either ends or serves on: never a window whose class object stays suspended
// (the next logger would start a second program), never a client cut off.
TEST(ComServerLastRelease, TheProgramEndsOrServesWhateverTheCloseCheckDoes)
{
    const struct {
        const char* Name;
        std::function<bool(TComServer&)> Check; // the memory list's question
        bool Ends;
        TStartMode ModeAfter;
        const char* Report; // the general error report's text, if any
    } cases[] = {
        {"saved or discarded", [](TComServer&) { return true; }, true, TStartMode::Automation, nullptr},
        {"kept", [](TComServer&) { return false; }, false, TStartMode::Standalone, nullptr},
        {"the save failed",
         [](TComServer&) -> bool { throw EInvalidOperation("Cannot create file velkor.mem"); },
         false, TStartMode::Standalone, "Cannot create file velkor.mem."},
        {"a client came while it asked",
         [asked = 0](TComServer& server) mutable {
             if (asked++ == 0)
                 server.CountIn();
             return true;
         },
         false, TStartMode::Automation, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        THeadlessHost host;
        TApplication app(host);
        new TForm(&app);
        TFakeComProcess process;
        TComServer server(TStartMode::Automation, process);
        server.Attach(app, [&] { return c.Check(server); });
        server.CountIn();
        server.CountOut();
        host.RunMainLoopCalls();
        EXPECT_EQ(host.Terminated(), c.Ends);
        EXPECT_EQ(process.Resumed, c.Ends ? 0 : 1) << "serving again unless it ends";
        EXPECT_EQ(server.StartMode(), c.ModeAfter);
        ASSERT_EQ(host.MessageBoxes().size(), c.Report ? 1u : 0u);
        if (c.Report) {
            EXPECT_EQ(host.MessageBoxes()[0].Text, c.Report);
        }
        if (server.ObjectCount() > 0) {
            // The client that came ends the program with its own release.
            server.CountOut();
            host.RunMainLoopCalls();
            EXPECT_TRUE(host.Terminated());
        }
        server.Detach();
    }
}

TEST_F(ComServerTest, ALastReleaseBeforeTheApplicationExistsEndsItOnceItDoes)
{
    Server = std::make_unique<TComServer>(TStartMode::Automation, Process);
    Server->CountIn();
    Server->CountOut();
    Main = new TForm(&App);
    Server->Attach(App, [] { return true; });
    EXPECT_EQ(Host.MainLoopCallsWaiting(), 1u);
    Host.RunMainLoopCalls();
    EXPECT_TRUE(Host.Terminated());
}

TEST_F(ComServerTest, TheClosingWarningAsksWhileObjectsOrLocksAreHeld)
{
    Start(TStartMode::Standalone);
    EXPECT_TRUE(Server->ClosingWarning()) << "nothing held, nothing asked";
    EXPECT_TRUE(Host.MessageBoxes().empty());

    Server->CountIn(); // a client's lock alone
    Host.AnswerMessageBox(MsgBox::kIdNo);
    EXPECT_FALSE(Close()) << "No keeps the program";
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "COM Server Warning");
    EXPECT_EQ(Host.MessageBoxes()[0].Text, kWarning);
    EXPECT_EQ(Host.MessageBoxes()[0].Style, kWarningStyle);
    EXPECT_EQ(Server->ObjectCount(), 1);

    EXPECT_FALSE(Close()) << "the default button is No";
    EXPECT_EQ(Host.MessageBoxes().size(), 2u);

    Host.AnswerMessageBox(MsgBox::kIdYes);
    EXPECT_TRUE(Close());
    EXPECT_EQ(Host.MessageBoxes().size(), 3u);
}

TEST_F(ComServerTest, TheWarningComesAfterTheMainWindowsOwnCloseCheckAndAlsoAtTheSessionsEnd)
{
    Start(TStartMode::Automation);
    std::vector<std::string> order;
    Main->OnCloseQuery = [&](TObject*, bool& canClose) {
        order.push_back("close query");
        canClose = MemoriesMayGo;
    };
    Server->CountIn();
    MemoriesMayGo = false;
    EXPECT_FALSE(Close());
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "a refused close asks nothing more";

    MemoriesMayGo = true;
    Host.AnswerMessageBox(MsgBox::kIdNo);
    TMessage query{Msg::QueryEndSession, 0, 0, 0};
    Main->Dispatch(query);
    EXPECT_EQ(query.Result, 0) << "No keeps the session from ending";
    EXPECT_EQ(order, (std::vector<std::string>{"close query", "close query"}));
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "COM Server Warning");
}

TEST_F(ComServerTest, AfterYesTheLastReleasesOfTheEndingProgramAskNothing)
{
    Start(TStartMode::Automation);
    Server->CountIn();
    Host.AnswerMessageBox(MsgBox::kIdYes);
    EXPECT_TRUE(Close());
    // COM lets the client's objects go while the program ends.
    Server->CountOut();
    Host.RunMainLoopCalls();
    EXPECT_EQ(CloseChecks, 0);
    Server->Detach();
    Server->CountIn();
    Server->CountOut(); // with no application left, nothing happens
    EXPECT_EQ(Host.MainLoopCallsWaiting(), 0u);
}

} // namespace
